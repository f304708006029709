# SPDX-License-Identifier: MIT
"""The evaluation over a Dask DataFrame, a partition at a time.

>>> import dask.dataframe as dd, nebelkamm.dask
>>> logs = dd.read_csv("logs/*.csv")                      # doctest: +SKIP
>>> water = nebelkamm.dask.evaluate(logs, reference=True)  # doctest: +SKIP
>>> water.WaterAtSeparator.sum().compute()                 # doctest: +SKIP

Every worker needs the nebelkamm package (python3-nebelkamm).
"""

import nebelkamm


def evaluate(ddf, *, reference=False, air_basis="humid", inputs=None, threads=1, columns=None):
    """nebelkamm.evaluate on every partition of a Dask DataFrame: a Dask
    DataFrame with the batch's columns. Its columns and their types come
    from the column table through the empty frame Dask keeps, so nothing is
    computed to learn them. threads is per partition: 1 by default, since
    Dask runs partitions side by side. columns maps names as
    nebelkamm.evaluate does."""
    options = dict(reference=reference, air_basis=air_basis, inputs=inputs, threads=threads,
                   columns=columns)
    meta = nebelkamm.evaluate(ddf._meta, **options)
    return ddf.map_partitions(nebelkamm.evaluate, meta=meta, **options)
