# SPDX-License-Identifier: MIT
"""The evaluation over a Dask DataFrame, a partition at a time.

>>> import dask.dataframe as dd, nebelkamm.dask
>>> logs = dd.read_csv("logs/*.csv")                      # doctest: +SKIP
>>> water = nebelkamm.dask.evaluate(logs, reference=True)  # doctest: +SKIP
>>> water.WaterAtSeparator.sum().compute()                 # doctest: +SKIP
>>> water = nebelkamm.dask.evaluate_csv("logs/*.csv")       # doctest: +SKIP

evaluate_csv reads the files with the command line's own reader (dialects,
encodings, units, line numbers in the messages) instead of pandas'.

Every worker needs the nebelkamm package (python3-nebelkamm).
"""

import glob
import os
import warnings
from typing import Any, Dict, List, Mapping, Optional, Sequence, Tuple, Union

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


def evaluate_csv(files: Union[str, Sequence[str]], *, reference: nebelkamm.Reference = False,
                 air_basis: Optional[str] = None, inputs: Optional[Mapping[str, float]] = None,
                 threads: Optional[int] = 1, columns: Optional[Mapping[str, str]] = None,
                 decimal: str = ".", blocksize: int = 256 << 20) -> Any:
    """nebelkamm.evaluate_csv over CSV files, in partitions.

    Parameters
    ----------
    files : str or sequence of str
        Paths, or one glob pattern ("logs/*.csv"), taken in sorted order.
    reference, air_basis, inputs, threads, columns, decimal
        As for nebelkamm.evaluate_csv; threads is per partition.
    blocksize : int, default 256 MiB
        A UTF-8 file larger than this is cut into parts of about this many
        bytes, at record ends found by reading it from its start here, on the
        client, as the batch reads it (that reading comes before the workers
        start: a file of 67 MB took 0.22 s here); each part is read
        with the file's header, decimal separator and line numbers. Other
        files are a partition each.

    Returns
    -------
    dask.dataframe.DataFrame
        The batch's columns for every file, one after the other. Each
        file's header is read here, on the client, for the columns and the
        warnings (those raised in workers never reach it); files whose
        columns differ are refused with ValueError.
    """
    import dask.dataframe as dd

    paths = sorted(glob.glob(files)) if isinstance(files, str) else list(files)
    if not paths:
        raise ValueError(f"no file matches {files!r}")
    options: Dict[str, Any] = dict(reference=reference, air_basis=air_basis, inputs=inputs,
                                   threads=threads, columns=columns, decimal=decimal)
    meta = None
    tasks: List[Tuple[str, Any]] = []
    for path in paths:
        empty, info = nebelkamm._read_csv(path, header_only=True, stacklevel=3, **options)
        if meta is None:
            meta = empty
        elif list(empty.columns) != list(meta.columns):
            raise ValueError(f"{path} has the columns {list(empty.columns)}, "
                             f"{paths[0]} has {list(meta.columns)}")
        parts: List[Any] = [None]
        if info["encoding"] == "UTF-8" and os.path.getsize(path) > blocksize:
            header_end, cuts = nebelkamm._core.split_csv(path, blocksize)
            parts = [(header_end, begin, end, line, info["decimal"])
                     for begin, end, line in cuts] or [None]
        tasks.extend((path, part) for part in parts)
    return dd.from_map(_quiet_csv, tasks, meta=meta,  # type: ignore[attr-defined]
                       enforce_metadata=False, **options)


def _quiet_csv(task: Tuple[str, Any], **options: Any) -> Any:
    """nebelkamm.evaluate_csv on a file or a part of one, in a worker: its
    warnings were said on the client already."""
    path, part = task
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nebelkamm.NebelkammWarning)
        return nebelkamm._read_csv(path, part=part, **options)[0]


def summary(ddf: Any, *, time: Optional[str] = None, time_format: Optional[str] = None,
            by: str = "day", max_gap: Any = None, reference: nebelkamm.Reference = False,
            **evaluation: Any) -> Any:
    """nebelkamm.summary over a Dask DataFrame sorted by time.

    Each partition is summed on its own, the interval from its last row with
    results to the next partition's first counted in it once, and the
    periods that partitions share are added up. Without ``max_gap`` the
    largest gap comes from the first 1001 rows, as in one pass (computed
    here). Returns a pandas DataFrame with the columns of nebelkamm.summary.
    """
    from dask.delayed import delayed

    evaluated = ddf if nebelkamm._has_results(ddf.columns, reference) \
        else evaluate(ddf, reference=reference, **evaluation)
    gap = nebelkamm._max_gap(max_gap)
    if gap is None:
        head = evaluated.head(1001, npartitions=-1)
        _, _, gap = nebelkamm._core.summary(
            *nebelkamm._summary_inputs(head, time, time_format, reference), by, None)
    parts = evaluated.to_delayed()
    sums = [delayed(_part_summary)(part, parts[k + 1] if k + 1 < len(parts) else None,
                                        time, time_format, by, gap, reference)
            for k, part in enumerate(parts)]
    return delayed(_combined)(sums, by).compute()


def _part_summary(part: Any, following: Any, time: Optional[str], time_format: Optional[str],
                  by: str, gap: float, reference: Any) -> Any:
    """One partition's totals, the interval to the next partition's first
    row with results included."""
    times, form, classic, good, ref, ref_good = nebelkamm._summary_inputs(part, time,
                                                                         time_format, reference)
    bridge = None
    if following is not None and len(following):
        t2, _, c2, g2, r2, rg2 = nebelkamm._summary_inputs(following, time, time_format,
                                                           reference)
        first = next((i for i, ok in enumerate(g2) if ok), None)
        if first is not None:
            refs = (bool(rg2[first]), *(float(r[first]) for r in r2)) \
                if r2 is not None and rg2 is not None else (False, 0.0, 0.0, 0.0)
            bridge = (t2[first], True, *(float(c[first]) for c in c2), *refs, first > 0)
    table, _, _ = nebelkamm._core.summary(times, form, classic, good, ref, ref_good, by, gap,
                                         bridge)
    return nebelkamm._totals(table)


def _combined(parts: List[Any], by: str) -> Any:
    """The partitions' totals as one pass gives them: periods they share
    added up, the largest and lowest of their rows kept."""
    import numpy as np
    import pandas as pd

    frame = pd.concat(parts, ignore_index=True)
    if frame.empty:
        return frame
    if by == "file":
        frame["Period"] = frame.Period.iloc[0].split("/")[0] + "/" + \
            frame.Period.iloc[-1].split("/")[-1]
    rules = {c: "max" if c.startswith(("MaxWater", "RefMaxWater")) else
             "min" if c.startswith(("MinDew", "RefMinDew")) else "sum"
             for c in frame.columns if c != "Period"}
    totals = frame.groupby("Period", sort=False).agg(rules).reset_index()
    for prefix in ("", "Ref"):
        if prefix + "Water [kg]" in totals:
            totals[prefix + "MeanWaterAtSeparator [kg/h]"] = np.where(
                totals.Hours > 0, totals[prefix + "Water [kg]"] / totals.Hours.where(
                    totals.Hours > 0, 1), np.nan)
    return totals
