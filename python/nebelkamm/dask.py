# SPDX-License-Identifier: MIT
"""The evaluation over a Dask DataFrame, a partition at a time.

>>> import dask.dataframe as dd, nebelkamm.dask
>>> logs = dd.read_csv("logs/*.csv")                      # doctest: +SKIP
>>> water = nebelkamm.dask.evaluate(logs, reference=True)  # doctest: +SKIP
>>> water.WaterAtSeparator.sum().compute()                 # doctest: +SKIP

Every worker needs the nebelkamm package (python3-nebelkamm).
"""

import warnings
from typing import Any, Dict, Mapping, Optional

import nebelkamm


def evaluate(ddf: Any, *, reference: nebelkamm.Reference = False, air_basis: Optional[str] = None,
             inputs: Optional[Mapping[str, float]] = None, threads: Optional[int] = 1,
             columns: Optional[Mapping[str, str]] = None) -> Any:
    """nebelkamm.evaluate on every partition of a Dask DataFrame: a Dask
    DataFrame with the batch's columns. Its columns and their types come
    from the column table through the empty frame Dask keeps, so nothing is
    computed to learn them. threads is per partition: 1 by default, since
    Dask runs partitions side by side. columns maps names as
    nebelkamm.evaluate does. What nebelkamm.evaluate warns is warned here,
    on the client, once: warnings raised in the workers never reach it."""
    options: Dict[str, Any] = dict(reference=reference, air_basis=air_basis, inputs=inputs,
                                   threads=threads, columns=columns)
    meta = nebelkamm.evaluate(ddf._meta, **options)  # warns on the client
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nebelkamm.NebelkammWarning)
        return ddf.map_partitions(_quiet, meta=meta, **options)


def _quiet(part: Any, **options: Any) -> Any:
    """nebelkamm.evaluate on a partition: its warnings were said on the
    client already."""
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nebelkamm.NebelkammWarning)
        return nebelkamm.evaluate(part, **options)
