# SPDX-License-Identifier: MIT
"""The Python module against the reference vectors, against the command
line's batch cell by cell, through Dask, without the GIL, and on bad input."""

import io
import linecache
import math
import os
import subprocess
import sys
import threading

import numpy as np
import pandas as pd
import pytest

import nebelkamm

CLI = os.environ["NEBELKAMM_CLI"]
VECTORS = os.environ["NEBELKAMM_REFERENCE_TSV"]


def test_forty_reference_vectors_on_both_air_bases():
    table = pd.read_csv(VECTORS, sep="\t")
    assert len(table) == 40
    for basis, water in (("humid", "W_humid_air"), ("dry", "W_dry_air")):
        out = nebelkamm.evaluate(table[nebelkamm.KEYS], reference=True, air_basis=basis)
        assert (out.RefMessage == "").all()
        for column, want in (("RefWaterContentBeforeBlower", "x1"),
                             ("RefCoolerPressure", "AbsoluteCoolerPressure"),
                             ("RefMaxWaterContentInCooler", "x2"),
                             ("RefCondensingWaterContent", "d"),
                             ("RefWaterAtSeparator", water)):
            np.testing.assert_allclose(out[column], table[want], rtol=1e-7, atol=0, err_msg=column)
        np.testing.assert_allclose(out.RefDewPointTemperature, table.td, rtol=0, atol=1e-6)


def random_rows(count, seed):
    """Engine-log rows with passed-through columns, some of them failing or
    impossible: humidity 0 or above 100, a negative power or pressure, a
    temperature after the cooler beyond the classic formula."""
    rng = np.random.default_rng(seed)
    rows = pd.DataFrame({
        "time": np.arange(count) + 1733650000,
        "note": rng.choice(["a", "b, c", 'say "x"', ""], count),
        "RelativeHumidity": rng.uniform(1, 100, count),
        "TempBeforeBlower": rng.uniform(-10, 45, count),
        "PressureBeforeBlower": rng.uniform(0.9, 1.1, count),
        "ScavingAirPressure": rng.uniform(0, 4.5, count),
        "TempAfterCooler": rng.uniform(15, 70, count),
        "SpecificAirFlow": rng.uniform(5, 9, count),
        "PowerOnEngine": rng.uniform(1000, 90000, count),
    })
    odd = rng.integers(0, 12, count)
    rows.loc[odd == 0, "RelativeHumidity"] = 0
    rows.loc[odd == 1, "RelativeHumidity"] = 150
    rows.loc[odd == 2, "PowerOnEngine"] = -40000
    rows.loc[odd == 3, "ScavingAirPressure"] = -1
    rows.loc[odd == 4, "TempAfterCooler"] = 140
    return rows


def test_every_cell_is_the_batch_cell(tmp_path):
    text = random_rows(10000, 7).to_csv(index=False, float_format="%.17g")
    given = pd.read_csv(io.StringIO(text), float_precision="round_trip", keep_default_na=False)
    for basis in ("humid", "dry"):
        batch = subprocess.run([CLI, "--batch", "-", "--reference", "--air-basis", basis],
                               input=text.encode(), capture_output=True, cwd=tmp_path)
        assert batch.returncode == 3, batch.stderr  # some rows fail
        want = pd.read_csv(io.StringIO(batch.stdout.decode()), float_precision="round_trip",
                           keep_default_na=False, na_values=[""])
        got = nebelkamm.evaluate(given, reference=True, air_basis=basis)
        assert list(got.columns) == list(want.columns)
        for column in want.columns:
            if column in ("note", "message", "RefMessage"):
                assert got[column].fillna("").tolist() == want[column].fillna("").tolist(), column
            else:
                a, b = got[column].to_numpy(float), want[column].to_numpy(float)
                assert np.array_equal(a, b, equal_nan=True), column
        assert (got.message != "").sum() > 1000


def test_dask_over_four_partitions_is_the_whole(tmp_path):
    distributed = pytest.importorskip("distributed")
    import dask.dataframe as dd
    import nebelkamm.dask

    rows = random_rows(4000, 11)
    for part in range(4):
        rows.iloc[part * 1000:(part + 1) * 1000].to_csv(tmp_path / f"log{part}.csv", index=False)
    whole = pd.concat(pd.read_csv(tmp_path / f"log{p}.csv", keep_default_na=False)
                      for p in range(4))
    with distributed.LocalCluster(n_workers=2, processes=True, threads_per_worker=1,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster):
        logs = dd.read_csv(tmp_path / "log*.csv", keep_default_na=False)
        lazy = nebelkamm.dask.evaluate(logs, reference=True)
        assert list(lazy.columns) == list(nebelkamm.evaluate(whole, reference=True).columns)
        done = lazy.compute()
    want = nebelkamm.evaluate(whole, reference=True)
    for frame in (done, want):  # each partition has its own categories
        for column in ("message", "RefMessage"):
            frame[column] = frame[column].astype(str)
    pd.testing.assert_frame_equal(done.reset_index(drop=True), want.reset_index(drop=True))


def test_the_loop_runs_without_the_gil():
    """While one thread is inside the evaluation, another runs Python code
    and sees it there all along: with the GIL held it would get a turn
    only in the moments around the call, a switch interval each."""
    data = {"RelativeHumidity": np.full(3_000_000, 90.0)}
    worker = threading.Thread(target=nebelkamm.evaluate_arrays, args=(data,),
                              kwargs={"threads": 1})
    interval = sys.getswitchinterval()
    sys.setswitchinterval(0.0005)
    inside = 0
    try:
        worker.start()
        while worker.is_alive():
            frame = sys._current_frames().get(worker.ident)
            while frame is not None and frame.f_code is not nebelkamm._Run.evaluate.__code__:
                frame = frame.f_back
            if frame is not None and "_core.evaluate(" in linecache.getline(
                    frame.f_code.co_filename, frame.f_lineno):
                inside += 1
        worker.join()
    finally:
        sys.setswitchinterval(interval)
    assert inside > 10000


@pytest.mark.parametrize("call, error, says", [
    (lambda: nebelkamm.evaluate(pd.DataFrame({"RelativeHumidity": ["90"]})), TypeError,
     "'RelativeHumidity' is not numeric"),
    (lambda: nebelkamm.evaluate_arrays({"RelativeHumidity": [True]}), TypeError,
     "'RelativeHumidity' is not numeric"),
    (lambda: nebelkamm.evaluate_arrays({"RelativeHumidity": [90, 50], "x": [1]}), ValueError,
     "differ in length"),
    (lambda: nebelkamm.evaluate({"RelativeHumidity": [90, 50], "x": [1]}), ValueError,
     "same length"),
    (lambda: nebelkamm.evaluate({"RelativeHumidity": [90]}, reference=True, air_basis="wet"),
     ValueError, "air_basis"),
    (lambda: nebelkamm.evaluate({"time": [1]}), ValueError, "names no input"),
    (lambda: nebelkamm.evaluate({"TempAfterCooler [bar]": [300]}), ValueError,
     r"\[bar\] is not a unit of TempAfterCooler"),
    (lambda: nebelkamm.evaluate({"TAC": [30]}, columns={"TAC": "Temp"}), ValueError,
     "no input is called Temp"),
    (lambda: nebelkamm.evaluate({"TAC": [30]}, columns={"T": "TempAfterCooler"}), ValueError,
     "no column 'T'"),
    (lambda: nebelkamm.evaluate({"RelativeHumidity": [90]}, inputs={"Power": 1}), ValueError,
     "no input is called Power"),
    (lambda: nebelkamm.evaluate({"RelativeHumidity": [90]}, threads=0), ValueError, "threads"),
])
def test_bad_input_is_refused(call, error, says):
    with pytest.raises(error, match=says):
        call()


def _header_table():
    with open(os.environ["NEBELKAMM_HEADER_TSV"], encoding="utf-8") as table:
        for line in table:
            if not line.startswith("#"):
                yield line.rstrip("\n").split("\t")


@pytest.mark.parametrize("row", list(_header_table()), ids=lambda row: row[0])
def test_header_cells_convert_as_the_shared_table_says(row):
    cell, key, *conversion = row
    other = "RelativeHumidity" if key == "PowerOnEngine" else "PowerOnEngine"
    data = {cell: [3.0], other: [50.0]}
    if key == "refused":
        with pytest.raises(ValueError, match="is not a unit of|never gauge"):
            nebelkamm.evaluate(data)
        return
    out = nebelkamm.evaluate(data)
    if key == "-":
        assert cell in out.columns
        return
    offset, factor, less = map(float, conversion)
    barometric = out.PressureBeforeBlower.iloc[0] if less else 0
    assert out[key].iloc[0] == pytest.approx((3.0 + offset) * factor - barometric, rel=1e-15)


def test_a_mapped_column_is_read_in_its_unit():
    out = nebelkamm.evaluate({"TAC": [95.0, 86.0], "id": [1, 2]},
                             columns={"TAC": "TempAfterCooler [°F]"})
    np.testing.assert_allclose(out.TempAfterCooler, [35.0, 30.0], rtol=1e-15)
    assert list(out.columns[:1]) == ["id"]


def test_numbers_that_are_not_finite_give_their_row_a_message():
    out = nebelkamm.evaluate_arrays({"RelativeHumidity": [90, math.nan, math.inf],
                                     "PowerOnEngine": [41200, 41200, -math.inf]})
    assert out["message"].tolist() == ["", "relative humidity not a finite number",
                                       "relative humidity not a finite number"]
    assert math.isnan(out["WaterAtSeparator"][1]) and not math.isnan(out["WaterAtSeparator"][0])


def test_strided_and_whole_number_arrays_are_read_as_they_stand():
    view = np.linspace(0, 100, 2000)[::2]  # every other value, read in place
    power = np.arange(1000, dtype=np.int64) * 90
    out = nebelkamm.evaluate_arrays({"TempAfterCooler": view, "PowerOnEngine": power})
    np.testing.assert_array_equal(out["TempAfterCooler"], view)
    np.testing.assert_array_equal(out["PowerOnEngine"], power.astype(float))


def _packed(values):
    """A float64 field of packed 12-byte records, as np.fromfile reads a binary log."""
    records = np.zeros(len(values), dtype=[("stamp", "<i4"), ("value", "<f8")])
    records["value"] = values
    return records["value"]


def _unaligned(values):
    raw = np.zeros(len(values) * 8 + 1, dtype=np.uint8)
    view = raw[1:].view(np.float64)
    view[:] = values
    return view


def _read_only(values):
    view = np.array(values)
    view.flags.writeable = False
    return view


@pytest.mark.parametrize("layout", [_packed, _unaligned, _read_only,
                                    lambda v: np.array(v[::-1])[::-1],
                                    lambda v: np.repeat(v, 3)[::3]],
                         ids=["packed record", "unaligned", "read-only", "reversed", "strided"])
def test_any_layout_reads_as_a_contiguous_copy(layout):
    humidity = np.linspace(5, 100, 1001)
    want = nebelkamm.evaluate_arrays({"RelativeHumidity": humidity}, reference=True)
    got = nebelkamm.evaluate_arrays({"RelativeHumidity": layout(humidity)}, reference=True)
    for key in want:
        np.testing.assert_array_equal(got[key], want[key], err_msg=key)


def test_results_go_into_the_arrays_given_and_inputs_come_back_read_only():
    humidity = np.linspace(5, 100, 1001)
    out = {"WaterAtSeparator": np.empty(1001), "RefDewPointMargin": np.empty(1001)}
    got = nebelkamm.evaluate_arrays({"RelativeHumidity": humidity}, reference=True, out=out)
    want = nebelkamm.evaluate_arrays({"RelativeHumidity": humidity}, reference=True)
    for key, array in out.items():
        assert got[key] is array
        np.testing.assert_array_equal(array, want[key])
    assert got["RelativeHumidity"] is not humidity and not got["RelativeHumidity"].flags.writeable
    np.testing.assert_array_equal(got["RelativeHumidity"], humidity)


@pytest.mark.parametrize("out, says", [
    ({"WaterAtSeparator": np.empty(3)}, "float64 array of 1001 rows"),
    ({"WaterAtSeparator": np.empty(1001, np.float32)}, "float64 array"),
    ({"WaterAtSeparator": np.empty(2002)[::2]}, "contiguous and writable"),
    ({"RefWaterAtSeparator": np.empty(1001)}, "no numeric result column"),
    ({"message": np.empty(1001)}, "no numeric result column"),
])
def test_unusable_out_arrays_are_refused(out, says):
    with pytest.raises(ValueError, match=says):
        nebelkamm.evaluate_arrays({"RelativeHumidity": np.linspace(5, 100, 1001)}, out=out)


AS_NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]


def _python(code, env=None, prefix=()):
    return subprocess.run([*prefix, sys.executable, "-c", code], capture_output=True, text=True,
                          env={**os.environ, **(env or {})}, check=False)


def test_an_unknown_vector_level_refuses_the_import():
    run = _python("import nebelkamm", {"NEBELKAMM_SIMD": "bogus"})
    assert run.returncode == 1
    assert "ImportError: NEBELKAMM_SIMD is 'bogus'; it takes scalar, baseline" in run.stderr


@pytest.mark.skipif(os.geteuid() != 0, reason="changing the user needs root")
def test_threads_that_cannot_start_leave_their_rows_to_the_caller():
    code = ("import nebelkamm, numpy as np\n"
            "h = np.linspace(1, 100, 300000)\n"
            "print(nebelkamm.evaluate_arrays({'RelativeHumidity': h}, threads=10**9,"
            " reference=True)['RefWaterAtSeparator'].sum())")
    free = _python(code)
    limited = _python(code, prefix=[*AS_NOBODY, "prlimit", "--nproc=1"])
    assert free.returncode == 0, free.stderr
    assert (limited.returncode, limited.stdout) == (0, free.stdout), limited.stderr


@pytest.mark.parametrize("humidity", [[90.0, 150.0, 150.0], [150.0] * 3, [90.0] * 3,
                                      [90.0] * 4 + [150.0], [150.0] + [90.0] * 4, [90.0], []])
def test_message_columns_are_read_only_str_and_outlive_their_result(humidity):
    out = nebelkamm.evaluate_arrays({"RelativeHumidity": np.array(humidity)}, reference=True)
    messages = out["RefMessage"]
    del out
    expected = ["relative humidity above 100 %" if h > 100 else "" for h in humidity]
    assert messages.tolist() == expected
    assert len({id(m) for m in messages}) == len(set(expected))  # one object a text
    with pytest.raises(ValueError):
        messages.flags.writeable = True
    if humidity:
        copy = messages.copy()
        copy[0] = "mine"
        assert (copy.tolist(), messages.tolist()) == (["mine", *expected[1:]], expected)
