# SPDX-License-Identifier: MIT
"""The module as pandas users meet it: their dtypes, one-row inputs, the
command line's option checks, what it says, its types and its docs."""

import doctest
import io
import os
import subprocess
import sys
import warnings

import numpy as np
import pandas as pd
import pytest

import nebelkamm

CLI = os.environ["NEBELKAMM_CLI"]
EMPTY = "column RelativeHumidity: '' is not a number"
NOT_FINITE = "relative humidity not a finite number"


def _quiet(call, *args, **kwargs):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nebelkamm.NebelkammWarning)
        return call(*args, **kwargs)


@pytest.mark.parametrize("column, messages", [
    (pd.Series([90.0, 50.0]), ["", ""]),
    (pd.Series([90.0, 50.0], dtype="float32"), ["", ""]),
    (pd.Series([90, 50], dtype="int64"), ["", ""]),
    (pd.Series([90, None], dtype="Int64"), ["", EMPTY]),
    (pd.array([90.0, None], dtype="Float64"), ["", EMPTY]),
    (pd.Series([True, False]), TypeError),
    (pd.Series(["90", "50"]), TypeError),
    (pd.Series(pd.to_datetime(["2026-12-09", "2026-12-10"])), TypeError),
    (pd.Series([1 + 1j, 2j]), TypeError),
], ids=["float64", "float32", "int64", "Int64-NA", "Float64-NA", "bool", "str", "datetime",
        "complex"])
def test_input_dtypes_give_results_or_name_the_column(column, messages):
    frame = pd.DataFrame({"time": pd.to_datetime(["2026-12-09", "2026-12-10"]),
                          "RelativeHumidity": column})
    if messages is TypeError:
        with pytest.raises(TypeError, match=rf"column 'RelativeHumidity' is not numeric \("):
            _quiet(nebelkamm.evaluate, frame)
        return
    out = _quiet(nebelkamm.evaluate, frame, reference=True)
    assert out.time.dtype == frame.time.dtype
    assert list(out.message.astype(str)) == messages
    assert list(out.RefMessage.astype(str)) == messages
    failed = np.array(messages) != ""
    assert out.WaterAtSeparator[failed].isna().all() and out.WaterAtSeparator[~failed].notna().all()
    want = _quiet(nebelkamm.evaluate, {"RelativeHumidity": [90.0]}, reference=True)
    assert out.RefWaterAtSeparator[0] == want.RefWaterAtSeparator[0]


def test_nan_apart_from_na_in_a_nullable_column():
    data = pd.array([np.nan, None, 90.0], dtype="Float64")
    data[0] = np.nan  # pandas 1.5 keeps it a value, not NA
    out = _quiet(nebelkamm.evaluate, {"RelativeHumidity": data})
    assert isinstance(out.message.dtype, pd.CategoricalDtype)
    assert list(out.message.astype(str))[1:] == [EMPTY, ""]


@pytest.mark.parametrize("data", [
    pd.DataFrame({"time": ["10:00"], "RelativeHumidity": [90.0]}).iloc[0],
    {"time": "10:00", "RelativeHumidity": 90.0},
], ids=["Series", "dict of scalars"])
def test_a_series_or_a_dict_of_scalars_is_one_row(data):
    out = _quiet(nebelkamm.evaluate, data)
    assert len(out) == 1 and out.time[0] == "10:00" and out.RelativeHumidity[0] == 90.0
    assert _quiet(nebelkamm.evaluate_arrays, {"RelativeHumidity": 90.0})["message"][0] == ""


@pytest.mark.parametrize("options, says", [
    ({"air_basis": "dry"}, "air_basis goes with reference"),
    ({"reference": True, "air_basis": "wet"}, "air_basis is humid or dry, not wet"),
    ({"reference": "wet"}, "reference is True, False, 'humid' or 'dry'"),
    ({"inputs": {"PowerOnEngine": "40000"}}, r"inputs\['PowerOnEngine'\] is not a number"),
    ({"inputs": {"TempAfterCooler [bar]": 1}}, r"\[bar\] is not a unit of TempAfterCooler"),
])
def test_options_are_checked_as_the_command_line_checks_them(options, says):
    with pytest.raises(ValueError, match=says):
        nebelkamm.evaluate({"RelativeHumidity": [90.0]}, **options)


def test_reference_names_the_basis_and_inputs_take_units():
    data = {"RelativeHumidity": [90.0]}
    by_name = _quiet(nebelkamm.evaluate, data, reference="dry",
                     inputs={"Actual temperature after cooler [°F]": 104})
    by_flag = _quiet(nebelkamm.evaluate, data, reference=True, air_basis="dry",
                     inputs={"TempAfterCooler": 40})
    pd.testing.assert_frame_equal(by_name, by_flag)


def test_inputs_not_in_the_data_and_replaced_columns_are_said():
    data = pd.DataFrame({"RelativeHumidity": [90.0], "message": ["old"],
                         "WaterAtSeparator": [-1.0]})
    with pytest.warns(nebelkamm.NebelkammWarning) as said:
        out = nebelkamm.evaluate(data, inputs={"PowerOnEngine": 41200})
    text = str(said[0].message)
    assert "inputs from inputs=: PowerOnEngine" in text
    assert "inputs from the first-run values: TempBeforeBlower, PressureBeforeBlower" in text
    assert "columns replaced by the new results: message, WaterAtSeparator" in text
    assert list(out.columns).count("message") == 1 and out.WaterAtSeparator[0] != -1
    given = {k: v.to_numpy() for k, v in data.items()}
    given["note"] = np.array(["kept"])
    arrays = _quiet(nebelkamm.evaluate_arrays, given)
    assert arrays["message"][0] == "" and arrays["WaterAtSeparator"][0] != -1
    assert arrays["note"] is not given["note"] and not arrays["note"].flags.writeable
    batch = subprocess.run([CLI, "--batch", "-", "--no-save"], capture_output=True, text=True,
                           input=data.to_csv(index=False))
    header = batch.stdout.splitlines()[0].split(",")
    assert header.count("message") == 1 and header.count("WaterAtSeparator") == 1
    assert "columns replaced by the new results: message, WaterAtSeparator" in batch.stderr


def test_version_is_the_programs():
    cli = subprocess.run([CLI, "--version"], capture_output=True, text=True, check=True)
    assert cli.stdout.splitlines()[0] == f"nebelkamm-cli {nebelkamm.__version__}"


def test_the_docstrings_examples_run():
    failed, tried = doctest.testmod(nebelkamm, optionflags=doctest.ELLIPSIS)
    assert tried > 0 and failed == 0
    doc = nebelkamm.evaluate.__doc__
    assert "- ``TempAfterCooler``: Actual temperature after cooler [°C], 40" in doc


def test_the_module_and_a_typed_user_script_pass_mypy_strict(tmp_path):
    script = tmp_path / "user.py"
    script.write_text(
        "import numpy as np\n"
        "import nebelkamm\n"
        "out = nebelkamm.evaluate_arrays({'RelativeHumidity': np.array([90.0])},\n"
        "                                reference='dry', threads=1)\n"
        "water: float = float(out['WaterAtSeparator'].sum())\n"
        "version: str = nebelkamm.__version__\n")
    env = {**os.environ, "MYPYPATH": os.environ["PYTHONPATH"]}
    run = subprocess.run([sys.executable, "-m", "mypy", "--strict", "--ignore-missing-imports",
                          "--no-incremental", "--cache-dir", os.devnull, str(script),
                          os.path.dirname(nebelkamm.__file__)],
                         capture_output=True, text=True, env=env, cwd=tmp_path)
    assert run.returncode == 0, run.stdout + run.stderr


def _logger_forms(tmp_path):
    """A log with a failing row in the forms loggers export it."""
    plain = ("time,note,RelativeHumidity [%],TempAfterCooler [°F],ScavingAirPressure [bar a]\n"
             "00:00,é °,90.5,95.45,3.413\n00:01,\"a, b\",abc,86,3.6\n00:02,x,150,86,3.6\n")
    semi = plain.replace(",", ";").replace(".", ",").replace('"a; b"', '"a, b"')
    forms = {"plain.csv": plain.encode(), "semi.csv": semi.encode(),
             "cp1252.csv": semi.replace("\n", "\r\n").encode("cp1252"),
             "utf16le.txt": b"\xff\xfe" + semi.replace(";", "\t").encode("utf-16-le"),
             "utf16be.txt": b"\xfe\xff" + semi.replace(";", "\t").encode("utf-16-be")}
    for name, data in forms.items():
        (tmp_path / name).write_bytes(data)
    return list(forms)


def test_evaluate_csv_is_the_batch_cell_for_cell(tmp_path):
    for name in _logger_forms(tmp_path):
        path = tmp_path / name
        batch = subprocess.run([CLI, "--batch", str(path), "--no-save", "--reference"],
                               capture_output=True, cwd=tmp_path)
        assert batch.returncode == 3, batch.stderr
        sep = {"plain.csv": ","}.get(name, "\t" if name.endswith(".txt") else ";")
        want = pd.read_csv(io.StringIO(batch.stdout.decode()), sep=sep, dtype=str,
                           keep_default_na=False)
        got = _quiet(nebelkamm.evaluate_csv, path, reference=True)
        assert list(got.columns) == list(want.columns), name
        for column in want.columns:
            if got[column].dtype == np.float64:
                expected = [float(t.replace(",", ".")) if t else np.nan for t in want[column]]
                np.testing.assert_array_equal(got[column], expected, err_msg=f"{name} {column}")
            else:
                assert list(got[column].astype(str)) == list(want[column]), (name, column)
    with open(tmp_path / "plain.csv", "rb") as file:
        pd.testing.assert_frame_equal(_quiet(nebelkamm.evaluate_csv, file),
                                      _quiet(nebelkamm.evaluate_csv, tmp_path / "plain.csv"))


def test_dask_evaluate_csv_over_files_and_parts_is_each_file_evaluated(tmp_path):
    distributed = pytest.importorskip("distributed")
    import nebelkamm.dask

    names = _logger_forms(tmp_path)[1:4]  # one dialect: the frames line up
    rows = "".join(f'0{i % 10}:00;"line\nbreak {i}";{90 + i % 20},5;95;3,4\n'
                   if i % 7 else f"0{i % 10}:00;bad;abc;95;3,4\n" for i in range(3000))
    header = (tmp_path / names[0]).read_text().splitlines()[0]
    (tmp_path / "big.csv").write_text(header + "\n" + rows)  # cut into parts below
    paths = [str(tmp_path / name) for name in ["big.csv", *names]]
    with distributed.LocalCluster(n_workers=2, processes=True, threads_per_worker=1,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster):
        with pytest.warns(nebelkamm.NebelkammWarning, match="read as Windows-1252"):
            lazy = nebelkamm.dask.evaluate_csv(paths, reference=True, blocksize=8192)
        assert lazy.npartitions > len(paths) + 5
        done = lazy.compute()
    want = pd.concat([_quiet(nebelkamm.evaluate_csv, p, reference=True) for p in paths])
    for frame in (done, want):
        for column in ("message", "RefMessage"):
            frame[column] = frame[column].astype(str)
    pd.testing.assert_frame_equal(done.reset_index(drop=True), want.reset_index(drop=True))


INTERRUPTED = r'''
import linecache, os, signal, sys, threading, time
import numpy as np, nebelkamm

def interrupt_inside():
    main = threading.main_thread().ident
    while True:  # until the main thread is inside the evaluation
        frame = sys._current_frames().get(main)
        while frame is not None and frame.f_code is not nebelkamm._Run.evaluate.__code__:
            frame = frame.f_back
        if frame is not None and "_core.evaluate(" in linecache.getline(
                frame.f_code.co_filename, frame.f_lineno):
            break
    global sent
    sent = time.perf_counter()
    os.kill(os.getpid(), signal.SIGINT)

data = {"RelativeHumidity": np.full(int(sys.argv[1]), 90.0)}
threading.Thread(target=interrupt_inside).start()
try:
    nebelkamm.evaluate_arrays(data, reference=True, threads=1, inputs={})
    print("finished")
except KeyboardInterrupt:
    print(f"interrupted {time.perf_counter() - sent:.3f}")
'''


def test_ctrl_c_ends_a_long_evaluation():
    run = subprocess.run([sys.executable, "-W", "ignore", "-c", INTERRUPTED, "30000000"],
                         capture_output=True, text=True)
    assert run.stdout.startswith("interrupted"), run.stdout + run.stderr


PEAK = r'''
import sys, warnings
import numpy as np, pandas as pd, nebelkamm
warnings.simplefilter("ignore")

def high_water():
    with open("/proc/self/status") as status:
        return next(int(l.split()[1]) * 1024 for l in status if l.startswith("VmHWM"))

rows, call, reference = int(sys.argv[1]), sys.argv[2], sys.argv[3] == "1"
data = {"RelativeHumidity": np.full(rows, 90.0), "TempAfterCooler": np.full(rows, 35.0)}
if call == "evaluate":
    data = pd.DataFrame(data)
before = high_water()
out = getattr(nebelkamm, call)(data, reference=reference)
if call == "evaluate":
    size = out.memory_usage(index=False).sum()
else:  # the arrays made anew: not the inputs' views, not broadcasts
    size = sum(v.nbytes for v in out.values() if v.strides != (0,) and
               not any(np.shares_memory(v, d) for d in data.values()))
print((high_water() - before) / size)
'''


@pytest.mark.parametrize("call, reference, bound", [
    ("evaluate", "0", 1.5), ("evaluate", "1", 1.5),
    ("evaluate_arrays", "0", 1.1), ("evaluate_arrays", "1", 1.1),
])
def test_peak_memory_stays_near_what_is_returned(call, reference, bound):
    run = subprocess.run([sys.executable, "-c", PEAK, "10000000", call, reference],
                         capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    assert float(run.stdout) <= bound
