# SPDX-License-Identifier: MIT
"""nebelkamm.summary against nebelkamm-cli --summary on the same logs."""

import io
import os
import subprocess
import warnings

import numpy as np
import pandas as pd
import pytest

import nebelkamm

CLI = os.environ["NEBELKAMM_CLI"]


def _log(tmp_path):
    """Two days of ten-minute rows: a gap, a row out of order, an unreadable
    value, condensing in the mornings only."""
    rows = ["time,RelativeHumidity,TempBeforeBlower,TempAfterCooler"]
    for m in range(0, 2 * 24 * 60, 10):
        if 13 * 60 <= m < 15 * 60:
            continue
        day, minute = divmod(m, 24 * 60)
        humidity = "95" if minute < 9 * 60 else "70"
        rows.append(f"2026-12-{8 + day:02d}T{minute // 60:02d}:{minute % 60:02d},{humidity},"
                    f"{25 + minute // 60 % 10},42")
    rows[40], rows[41] = rows[41], rows[40]
    rows[30] = rows[30].replace(",95,", ",abc,")
    path = tmp_path / "log.csv"
    path.write_text("\n".join(rows) + "\n")
    return path


@pytest.mark.parametrize("by, reference", [("day", False), ("hour", False), ("file", True)])
def test_summary_is_the_command_lines(tmp_path, by, reference):
    path = _log(tmp_path)
    args = [CLI, "--batch", str(path), "--no-save", "--summary", by] + \
        (["--reference"] if reference else [])
    cli = subprocess.run(args, capture_output=True, text=True, cwd=tmp_path)
    assert cli.returncode == 3, cli.stderr
    want = pd.read_csv(io.StringIO(cli.stdout), float_precision="round_trip")
    frame = pd.read_csv(path)  # the unreadable humidity as NaN: a message all the same
    frame["RelativeHumidity"] = pd.to_numeric(frame.RelativeHumidity, errors="coerce")
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nebelkamm.NebelkammWarning)
        for got in (nebelkamm.summary(nebelkamm.evaluate_csv(path, reference=reference),
                                      by=by, reference=reference),
                    nebelkamm.summary(frame, by=by, reference=reference)):
            assert list(got.columns) == list(want.columns)
            assert list(got.Period) == list(want.Period)
            for column in want.columns[1:]:
                np.testing.assert_allclose(got[column], want[column], rtol=1e-12,
                                           err_msg=column)


def test_summary_refuses_a_log_without_a_time():
    with pytest.raises(ValueError, match="no time column"):
        nebelkamm.summary(pd.DataFrame({"RelativeHumidity": [90.0]}))
    with pytest.raises(ValueError, match="duration"):
        nebelkamm.summary(pd.DataFrame({"time": ["2026-12-08T00:00"], "RelativeHumidity": [90.0]}),
                          max_gap="soon")


def test_dask_summary_over_four_partitions_is_one_pass(tmp_path):
    distributed = pytest.importorskip("distributed")
    import dask.dataframe as dd
    import nebelkamm.dask

    log = pd.read_csv(_log(tmp_path))
    log["RelativeHumidity"] = pd.to_numeric(log.RelativeHumidity, errors="coerce")
    # Cut where one partition starts with a row with a message and where one
    # ends before the gap, besides the middle of the second day.
    times = pd.to_datetime(log.time)
    message = int(np.flatnonzero(log.RelativeHumidity.isna())[0])
    after_gap = int(np.flatnonzero(times.diff() > pd.Timedelta("1h"))[0])
    cuts = [0, message, after_gap, len(log) - 50, len(log)]
    parts = dd.concat([dd.from_pandas(log.iloc[a:b], npartitions=1)
                       for a, b in zip(cuts, cuts[1:])])
    assert parts.npartitions == 4
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nebelkamm.NebelkammWarning)
        with distributed.LocalCluster(n_workers=2, processes=True, threads_per_worker=1,
                                      dashboard_address=None) as cluster, \
                distributed.Client(cluster):
            for by in ("day", "hour", "file"):
                got = nebelkamm.dask.summary(parts, by=by, reference=True)
                want = nebelkamm.summary(log, by=by, reference=True)
                assert list(got.Period) == list(want.Period), by
                for column in want.columns[1:]:
                    np.testing.assert_allclose(got[column], want[column], rtol=1e-12,
                                               atol=1e-12, err_msg=f"{by} {column}")
