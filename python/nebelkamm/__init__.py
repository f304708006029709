# SPDX-License-Identifier: MIT
"""The water that condenses in the charge air cooler, for arrays and tables.

The calculator's own evaluation core, over NumPy arrays and pandas data
frames, with the columns, units and refusals of ``nebelkamm-cli --batch``:

>>> import pandas, nebelkamm
>>> log = pandas.DataFrame({"time": ["10:00", "10:01"], "RelativeHumidity": [90, 150],
...                         "TempAfterCooler [°F]": [104.0, 104.0]})
>>> water = nebelkamm.evaluate(log, inputs={"TempBeforeBlower": 37})
>>> list(water.columns[:3])
['time', 'RelativeHumidity', 'TempBeforeBlower']
>>> float(water.TempAfterCooler[0])
40.0
>>> str(water.message[1])
'relative humidity above 100 %'

Input columns are named by their settings key or the window's caption, in
any case, with an optional unit in any the command line reads ("Relative
humidity [%]", "TempAfterCooler [°F]", "ScavingAirPressure [bar a]"), and
are converted to the program's units; missing inputs come from ``inputs``
or the first-run values, and a warning names them; other columns are passed
through. A row whose inputs make no physical sense, or whose computation
fails, has a message and no results.

The rows are evaluated a block at a time in vector code chosen for the CPU
when the module is imported; the environment variable NEBELKAMM_SIMD caps
it ("scalar" gives the numbers of a single point bit for bit; see the
README for the levels and the accuracy of the others).
"""

from __future__ import annotations

import numbers
import warnings
import os
from typing import (IO, TYPE_CHECKING, Any, Dict, List, Literal, Mapping, Optional, Tuple,
                    Union)

import numpy as np
import numpy.typing as npt

from . import _core

if TYPE_CHECKING:  # pandas is needed by evaluate only
    import pandas as pd

__version__: str = _core.version()
__all__ = ["evaluate", "evaluate_arrays", "evaluate_csv", "summary", "KEYS", "AIR_BASES",
           "NebelkammWarning", "__version__"]

#: The seven inputs' keys, in the settings file's and the command line's order.
KEYS: List[str] = [key for key, kind in _core.columns(False) if kind == "input"]
#: What the specific air flow may be a flow of, with the reference.
AIR_BASES: Dict[str, int] = {"humid": 0, "dry": 1}
_FIRST_RUN = dict(_core.first_run())
_BAROMETRIC, _SCAVENGE = KEYS.index("PressureBeforeBlower"), KEYS.index("ScavingAirPressure")

Reference = Union[bool, Literal["humid", "dry"]]
Array = npt.NDArray[Any]


class NebelkammWarning(UserWarning):
    """What the module did without being asked: inputs taken from
    ``inputs=`` or the first-run values instead of a column, columns named
    like results replaced by them."""


def _basis(reference: Reference, air_basis: Optional[str]) -> int:
    """-1 for no reference, else the index of the air basis; the command
    line's checks."""
    if isinstance(reference, str):
        if reference not in AIR_BASES:
            raise ValueError(f"reference is True, False, 'humid' or 'dry', not {reference!r}")
        if air_basis is not None and air_basis != reference:
            raise ValueError(f"reference={reference!r} and air_basis={air_basis!r} disagree")
        air_basis, reference = reference, True
    if not isinstance(reference, (bool, np.bool_)):
        raise ValueError(f"reference is True, False, 'humid' or 'dry', not {reference!r}")
    return int(_core.reference_asked(bool(reference), air_basis))


def _threads(threads: Optional[int]) -> int:
    if threads is None:
        return 0
    if not isinstance(threads, numbers.Integral) or threads < 1:
        raise ValueError(f"threads is a whole number above 0 or None, not {threads!r}")
    return min(int(threads), 1 << 30)  # at most the cores run anyway


def _given(inputs: Optional[Mapping[str, float]]) -> Tuple[Dict[int, float], bool]:
    """The inputs given by key or caption (with an optional [unit]), in the
    program's units, as --input takes them; whether an absolute scavenge
    pressure still needs the barometric one taken off."""
    fixed: Dict[int, float] = {}
    less = False
    for name, value in (inputs or {}).items():
        index, offset, factor, absolute = _core.named_input(str(name))
        if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Real):
            raise ValueError(f"inputs[{name!r}] is not a number: {value!r}")
        fixed[index] = (float(value) + offset) * factor
        less = less or absolute
    return fixed, less


def _column(name: str, values: Any) -> Tuple[Array, Optional[Array]]:
    """A column that names an input as numbers, read in place where it is
    float64, with the rows where it is missing (pandas' NA)."""
    dtype = getattr(values, "dtype", None)
    if dtype is not None and not isinstance(dtype, np.dtype):  # a pandas extension dtype
        if getattr(dtype, "kind", "O") not in "iuf":
            raise TypeError(f"column {name!r} is not numeric ({dtype})")
        missing = np.asarray(values.isna(), dtype=bool)  # NA, not NaN
        return values.to_numpy(dtype="float64", na_value=np.nan), missing if missing.any() else None
    array = np.asarray(values)
    if array.dtype.kind not in "iuf":
        raise TypeError(f"column {name!r} is not numeric ({array.dtype})")
    if array.ndim != 1:
        raise ValueError(f"column {name!r} is not one-dimensional")
    return array, None


def _as_given(source: Union[float, Array], rows: int) -> Array:
    """An input column of the result: a read-only view of a float64 array
    given, never the caller's own object; one value for all rows as a
    read-only broadcast; other arrays converted."""
    if isinstance(source, float):
        return np.broadcast_to(np.float64(source), (rows,))
    if source.dtype != np.float64:
        return source.astype(np.float64)
    view = source.view()
    view.flags.writeable = False
    return view


class _Run:
    """One evaluation: which column names which input, the inputs as the
    core reads them, what was said about them, and the results."""

    def __init__(self, columns: Mapping[Any, Any], rows: int, reference: Reference,
                 air_basis: Optional[str], inputs: Optional[Mapping[str, float]],
                 mapping: Optional[Mapping[str, str]]) -> None:
        self.basis = _basis(reference, air_basis)
        names = [str(name) for name in columns]
        planned = _core.name_columns(names, {str(k): str(v) for k, v in (mapping or {}).items()})
        given, less = _given(inputs)
        self.named: Dict[Any, int] = {}
        self.replaced: List[Any] = []
        self.missing: List[Tuple[int, Array]] = []  # (input, rows with NA)
        self.sources: List[Any] = [None] * len(KEYS)
        for name, (index, offset, factor, absolute) in zip(columns, planned):
            if index < 0:
                if _core.is_result_name(str(name), self.basis >= 0):
                    self.replaced.append(name)
                continue
            self.named[name] = index
            values, na = _column(str(name), columns[name])
            # The program's units: a converted column is a new array.
            self.sources[index] = values if (offset, factor) == (0, 1) else \
                (values + offset) * factor
            less = less or absolute
            if na is not None:
                self.missing.append((index, na))
        unnamed = [k for k in range(len(KEYS)) if self.sources[k] is None]
        for k in unnamed:
            self.sources[k] = given.get(k, float(_FIRST_RUN[KEYS[k]]))
        if less:
            self.sources[_SCAVENGE] = self.sources[_SCAVENGE] - np.asarray(
                self.sources[_BAROMETRIC], dtype=float)
        self.say(unnamed, given, self.replaced, stacklevel=4)
        self.rows = rows

    @staticmethod
    def say(unnamed: List[int], given: Dict[int, float], replaced: List[Any],
            encoding: str = "UTF-8", stacklevel: int = 2) -> None:
        """One warning naming the inputs taken from elsewhere than a column
        and the columns that results replace."""
        said = ["read as Windows-1252: not UTF-8"] if encoding == "Windows-1252" else []
        from_inputs = [KEYS[k] for k in unnamed if k in given]
        first_run = [KEYS[k] for k in unnamed if k not in given]
        if from_inputs:
            said.append("inputs from inputs=: " + ", ".join(from_inputs))
        if first_run:
            said.append("inputs from the first-run values: " + ", ".join(first_run))
        if replaced:
            said.append("columns replaced by the new results: " +
                        ", ".join(str(name) for name in replaced))
        if said:
            warnings.warn("; ".join(said), NebelkammWarning, stacklevel=stacklevel)

    def evaluate(self, threads: Optional[int], out: Optional[Mapping[str, Array]],
                 codes: bool) -> Dict[str, Any]:
        """The batch's output columns, in order: inputs, results, messages
        (str objects, or uint8 codes of _core.message_texts())."""
        raw = _core.evaluate(self.sources, self.rows, self.basis, _threads(threads),
                             dict(out or {}), codes)
        result: Dict[str, Any] = {}
        for key, kind in _core.columns(self.basis >= 0):
            result[key] = _as_given(self.sources[KEYS.index(key)], self.rows) \
                if kind == "input" else raw[key]
        self._missing_cells(result, codes)
        return result

    def _missing_cells(self, result: Dict[str, Any], codes: bool) -> None:
        """Rows with a missing input cell: the batch's message for an empty
        cell, without the line number, and no results."""
        if not self.missing:
            return
        texts = _core.message_texts() if codes else None
        blocks = ["message", "RefMessage"] if self.basis >= 0 else ["message"]
        for index, rows in reversed(self.missing):  # the first column's message wins
            text = f"column {KEYS[index]}: '' is not a number"
            for key, kind in _core.columns(self.basis >= 0):
                if kind == "number":
                    result[key][rows] = np.nan
            for block in blocks:
                if codes:
                    assert texts is not None
                    texts.append(text)
                    result[block] = result[block].astype(np.int64)
                    result[block][rows] = len(texts) - 1
                else:
                    result[block] = result[block].copy()
                    result[block][rows] = text
        if codes:
            self.texts = texts


def _one_row(data: Any) -> Any:
    """A Series or a dict of scalars as a table of one row."""
    import pandas as pd

    if isinstance(data, pd.Series):
        return pd.DataFrame([data.to_dict()])
    if isinstance(data, Mapping) and data and all(np.ndim(v) == 0 for v in data.values()):
        return pd.DataFrame([dict(data)])
    return data


def evaluate_arrays(data: Mapping[Any, Any], *, reference: Reference = False,
                    air_basis: Optional[str] = None, inputs: Optional[Mapping[str, float]] = None,
                    threads: Optional[int] = None, out: Optional[Mapping[str, Array]] = None,
                    columns: Optional[Mapping[str, str]] = None) -> Dict[Any, Array]:
    """Evaluate a mapping of column name to array, without pandas.

    Parameters
    ----------
    data : mapping of column name to 1-d array-like (or to scalars: one row)
        Columns named as in a batch's header; see :func:`evaluate`.
    reference, air_basis, inputs, threads, columns
        As for :func:`evaluate`.
    out : dict of result key to ndarray, optional
        Contiguous, writable float64 arrays of the data's length (NumPy's
        convention): those results are written there and the dict returns
        these arrays; the others are made anew. A loop over many files then
        pays for fresh memory only once.

    Returns
    -------
    dict of str to ndarray
        The batch's columns: the passed-through ones first (read-only views
        of the arrays given), then
        the seven inputs (read-only views of the arrays given where they are
        float64 in the program's unit; one value given for all rows as a
        read-only broadcast), the results (float64, NaN where a row has
        none) and the messages: a read-only object array of ``str``, ``""``
        for a good row, one ``str`` object for all rows with the same
        message (``.copy()`` gives a writable one). float64 input is read
        where it stands, with any stride, never copied.

    Raises
    ------
    TypeError, ValueError
        As :func:`evaluate`; also arrays of different lengths.
    """
    if data and all(np.ndim(v) == 0 for v in data.values()):
        data = {name: [value] for name, value in data.items()}
    arrays = {name: values if hasattr(values, "dtype") else np.asarray(values)
              for name, values in data.items()}
    lengths = {len(v) for v in arrays.values()}
    if len(lengths) > 1:
        raise ValueError(f"the arrays differ in length: {sorted(lengths)}")
    rows = lengths.pop() if lengths else 0
    run = _Run(arrays, rows, reference, air_basis, inputs, columns)
    result = run.evaluate(threads, out, codes=False)
    passed = {name: _read_only(arrays[name]) for name in arrays
              if name not in run.named and name not in run.replaced}
    return {**passed, **result}


def _read_only(values: Any) -> Any:
    """A passed-through column: a read-only view of a NumPy array, never
    the caller's own object."""
    if not isinstance(values, np.ndarray):
        return values
    view = values.view()
    view.flags.writeable = False
    return view


def evaluate(data: Any, *, reference: Reference = False, air_basis: Optional[str] = None,
             inputs: Optional[Mapping[str, float]] = None, threads: Optional[int] = None,
             columns: Optional[Mapping[str, str]] = None) -> "pd.DataFrame":
    """Evaluate every row of a table as the command line's batch does.

    Parameters
    ----------
    data : pandas.DataFrame, mapping of column name to array-like, pandas.Series or dict of scalars
        The rows. A column names an input by its key or caption, in any case,
        with an optional unit (see the table below), and is converted to the
        program's unit; other columns are passed through, whatever their
        dtype. An input column may be float64 (read in place), another real
        dtype or a nullable ``Float64``/``Int64``/``Float32``: a missing cell
        (``pd.NA``) gives its row the message of an empty cell and no
        numbers; NaN gives the message of a number that is not finite. A
        Series whose index names inputs (``df.iloc[0]``) or a dict of
        scalars is one row.
    reference : bool or {"humid", "dry"}, default False
        Also the reference results (``Ref...`` columns and ``RefMessage``);
        a string names the air basis.
    air_basis : {"humid", "dry"}, optional
        With ``reference=True``: the specific air flow is of humid air as
        measured (the default) or of dry air.
    inputs : dict, optional
        Values for the inputs the data does not name, by key or caption with
        an optional unit, as ``nebelkamm-cli --input``:
        ``{"TempAfterCooler [°F]": 104}``; the others take their first-run
        values. A warning (:class:`NebelkammWarning`) names both.
    threads : int, optional
        Threads for the loop; None uses all cores for large inputs and one
        for small ones.
    columns : dict, optional
        Column names the module does not know, mapped to an input's key or
        caption with an optional unit, as ``nebelkamm-cli --column``:
        ``{"TAC": "TempAfterCooler [°F]"}``.

    Returns
    -------
    pandas.DataFrame
        Exactly the columns of ``nebelkamm-cli --batch``, in its order: the
        passed-through ones first, the seven inputs in the program's units,
        the results (float64, NaN where a row has none), ``WaterPerDay`` and
        ``message`` (a ``Categorical``: the distinct texts as categories,
        ``""`` for a good row), then with the reference the ``Ref...``
        columns and ``RefMessage``. A column named like a result is
        replaced by it, with a warning.

    Raises
    ------
    TypeError
        An input column that is not of a real dtype (bool, complex, strings,
        datetimes), naming the column and its dtype.
    ValueError
        As the command line refuses: a unit an input does not take, an input
        named twice or none named, a mapping to no input or of a column not
        there, ``air_basis`` without ``reference``, an unknown key or a value
        that is not a number in ``inputs``, ``threads`` below 1.

    Notes
    -----
    The inputs (key, caption, unit, first-run value):

    %(inputs)s

    The results:

    %(outputs)s

    Messages say why a row has no results: an input that makes no physical
    sense ("relative humidity above 100 %"), a computation that fails
    ("Floating point division by zero"), a missing or non-finite cell.
    """
    import pandas as pd

    data = _one_row(data)
    frame = data if isinstance(data, pd.DataFrame) else pd.DataFrame(data)
    if frame.columns.has_duplicates:
        raise ValueError("the data has two columns of one name")
    series = {name: frame[name] for name in frame.columns}
    run = _Run(series, len(frame), reference, air_basis, inputs, columns)
    # The numbers go straight into the one block of the frame returned, so
    # that it is built without copies of the results.
    layout = _core.columns(run.basis >= 0)
    numbers = [key for key, kind in layout if kind != "message"]
    block = np.empty((len(numbers), len(frame)))
    for row, key in enumerate(numbers):
        if key in KEYS:
            block[row] = run.sources[KEYS.index(key)]
    out = {key: block[row] for row, key in enumerate(numbers) if key not in KEYS}
    result = run.evaluate(threads, out, codes=True)
    texts = getattr(run, "texts", None) or _core.message_texts()
    table = pd.DataFrame(block.T, columns=numbers, index=frame.index, copy=False)
    for at, (key, kind) in enumerate(layout):
        if kind == "message":
            table.insert(at, key, _categorical(result[key], texts))
    passed = [name for name in frame.columns if name not in run.named and name not in run.replaced]
    for at, name in enumerate(passed):
        table.insert(at, name, frame[name])
    return table


def evaluate_csv(file: Union[str, "os.PathLike[str]", bytes, IO[bytes]], *,
                 reference: Reference = False, air_basis: Optional[str] = None,
                 inputs: Optional[Mapping[str, float]] = None, threads: Optional[int] = None,
                 columns: Optional[Mapping[str, str]] = None,
                 decimal: str = ".") -> "pd.DataFrame":
    """Evaluate a CSV file with the command line's own reader.

    The file is read as ``nebelkamm-cli --batch`` reads it: its dialect
    and decimal separator, its encoding (UTF-8, UTF-16 with a byte-order
    mark, else Windows-1252), units and ``columns`` mappings, a row that
    cannot be read failing alone with a message that names its line.

    Parameters
    ----------
    file : path, bytes or binary file object
        The CSV file, or its content.
    reference, air_basis, inputs, threads, columns
        As for :func:`evaluate`.
    decimal : str, default "."
        The decimal separator of a semicolon or tab file whose first 64 KiB
        have no number with one (the command line takes the locale's).

    Returns
    -------
    pandas.DataFrame
        The batch's output as values: passed-through columns as ``str``
        (object), the inputs in the program's units and the results as
        float64 (NaN where the batch writes an empty cell), the messages as
        a ``Categorical``, line numbers included, as the batch writes them.

    Raises
    ------
    OSError
        The file cannot be opened or read.
    ValueError
        As the command line refuses the file or the options (its status 64
        or 65): no input named, a unit not taken, a mapping not understood.
    """
    return _read_csv(file, reference, air_basis, inputs, threads, columns, decimal)[0]


def _read_csv(file: Any, reference: Reference = False, air_basis: Optional[str] = None,
              inputs: Optional[Mapping[str, float]] = None, threads: Optional[int] = None,
              columns: Optional[Mapping[str, str]] = None, decimal: str = ".",
              header_only: bool = False, part: Optional[Tuple[int, int, int, int, str]] = None,
              stacklevel: int = 4) -> Tuple["pd.DataFrame", Dict[str, Any]]:
    """evaluate_csv, with what the batch found (encoding, decimal
    separator): of the header alone, or of a part of a file (split_csv's
    header end, begin, end and first line, and the file's decimal
    separator)."""
    import pandas as pd

    basis = _basis(reference, air_basis)
    given, less = _given(inputs)
    stored = [given.get(k, float(_FIRST_RUN[key])) for k, key in enumerate(KEYS)]
    if less:
        stored[_SCAVENGE] -= stored[_BAROMETRIC]
    if hasattr(file, "read"):
        file = file.read()
    source = file if isinstance(file, bytes) else os.fspath(file)
    if len(decimal) != 1:
        raise ValueError(f"decimal is one character, not {decimal!r}")
    table, info = _core.evaluate_csv(source, stored, basis, _threads(threads),
                                     {str(k): str(v) for k, v in (columns or {}).items()}, decimal,
                                     header_only, part)
    unnamed = [KEYS.index(key) for key in info["from_stored"]]
    _Run.say(unnamed, given, info["replaced"], info["encoding"], stacklevel=stacklevel)
    for key, cells in table.items():
        if isinstance(cells, tuple):
            table[key] = _categorical(*cells)
        elif isinstance(cells, list):
            table[key] = pd.array(cells, dtype=object)
    return pd.DataFrame(table, copy=False), info


def summary(data: Any, *, time: Optional[str] = None, time_format: Optional[str] = None,
            by: Literal["day", "hour", "file"] = "day",
            max_gap: Union[None, str, float, Any] = None, reference: Reference = False,
            **evaluation: Any) -> "pd.DataFrame":
    """Totals of a timestamped log by day, hour or for the whole table.

    The sums of ``nebelkamm-cli --batch FILE --summary``, by the same code:
    the water at the separator integrated over time (trapezoid rule), the
    hours bridged and not, the condensing hours, the largest water and the
    lowest dew-point margin of each period.

    Parameters
    ----------
    data : pandas.DataFrame or mapping of column name to array-like
        A log in time order: the output of :func:`evaluate` or
        :func:`evaluate_csv`, or a table they take (then evaluated first,
        with ``reference`` and the other keywords).
    time : str, optional
        The time column; None looks for the names the command line knows
        (time, timestamp, datetime, date time, Zeit, or Date and Time).
        Text in the formats of ``--time-format``'s default, datetimes, or
        Unix seconds.
    time_format : str, optional
        As ``--time-format``: "%d/%m/%Y %H:%M".
    by : {"day", "hour", "file"}, default "day"
    max_gap : str, float (seconds) or timedelta, optional
        Longer intervals are not bridged; None: five times the median of
        the first 1000 intervals, at least five minutes.
    reference : bool or {"humid", "dry"}
        Also the reference model's sums (``Ref...`` columns).

    Returns
    -------
    pandas.DataFrame
        The columns of ``--summary``: Period, Rows, RowsWithMessage, Hours,
        GapHours, CondensingHours, Water [kg], MeanWaterAtSeparator [kg/h],
        MaxWaterAtSeparator [kg/h], MinDewPointMargin [K] (NaN where the
        command line writes an empty cell), then the reference ones.

    Raises
    ------
    ValueError
        No time column, an unknown ``by``, a ``max_gap`` that is no
        duration; and as :func:`evaluate`.
    """
    import pandas as pd

    frame = data if isinstance(data, pd.DataFrame) else pd.DataFrame(data)
    frame = _with_results(frame, reference, evaluation)
    table, refused, _ = _core.summary(*_summary_inputs(frame, time, time_format, reference), by,
                                      _max_gap(max_gap))
    if refused:
        warnings.warn("times refused: " + "; ".join(refused), NebelkammWarning, stacklevel=2)
    return _totals(table)


def _has_results(columns: Any, reference: Reference) -> bool:
    """Whether a log's columns hold what a summary sums: it was evaluated."""
    wanted = ["WaterAtSeparator", "message"] + (["RefWaterAtSeparator"] if reference else [])
    return all(name in columns for name in wanted)


def _with_results(frame: Any, reference: Reference, evaluation: Mapping[str, Any]) -> Any:
    """The log with its results: evaluated unless it has them."""
    if _has_results(frame.columns, reference):
        return frame
    return evaluate(frame, reference=reference, **evaluation)


def _max_gap(max_gap: Any) -> Optional[float]:
    if max_gap is None or isinstance(max_gap, str):
        return None if max_gap is None else _core.read_duration(max_gap)
    return float(getattr(max_gap, "total_seconds", lambda: max_gap)())


def _summary_inputs(frame: Any, time: Optional[str], time_format: Optional[str],
                    reference: Reference) -> Tuple[List[str], str, List[Array], Array,
                                                   Optional[List[Array]], Optional[Array]]:
    """What the core's summary takes of an evaluated log: the times as text,
    the format, each model's water, condensing water and margin with whether
    a row has results."""
    names = [str(name) for name in frame.columns]
    at, date = _core.find_time_columns(names, time or "")
    if at < 0:
        raise ValueError(f"no time column: looked for {_TIME_NAMES}; name it with time="
                         if time is None else f"no column {time!r} for the time")
    times = _time_texts(frame.iloc[:, at])
    if date >= 0:
        times = [f"{d} {t}" for d, t in zip(_time_texts(frame.iloc[:, date]), times)]

    def model(prefix: str, margin: Array) -> Tuple[List[Array], Array]:
        values = [frame[prefix + "WaterAtSeparator"].to_numpy(float),
                  frame[prefix + "CondensingWaterContent"].to_numpy(float), margin]
        good = (frame[prefix + "Message" if prefix else "message"].astype(str) == "").to_numpy()
        return values, good

    classic, good = model("", (frame.TempAfterCooler - frame.DewPointTemperature).to_numpy(float))
    ref, ref_good = model("Ref", frame.RefDewPointMargin.to_numpy(float)) if reference \
        else (None, None)
    return times, time_format or "", classic, good, ref, ref_good


def _totals(table: Mapping[str, Any]) -> "pd.DataFrame":
    import pandas as pd

    totals = pd.DataFrame(table)
    for count in ("Rows", "RowsWithMessage", "RefRowsWithMessage"):
        if count in totals:
            totals[count] = totals[count].astype(np.int64)
    return totals


_TIME_NAMES = ("time, timestamp, datetime, date time, Zeit, or a Date and a Time (Datum and "
               "Uhrzeit) column")


def _time_texts(column: Any) -> List[str]:
    """A time column as the text the core reads: datetimes in ISO 8601."""
    if hasattr(column, "dt"):
        with_offset = getattr(column.dt, "tz", None) is not None
        return list(column.dt.strftime("%Y-%m-%dT%H:%M:%S.%f" + ("%z" if with_offset else ""))
                    .fillna(""))
    return [str(value) for value in column]


def _categorical(codes: Array, texts: List[str]) -> Any:
    """Message codes as a Categorical of the texts that occur."""
    import pandas as pd

    used = np.flatnonzero(np.bincount(codes, minlength=1))
    remap = np.zeros(max(len(texts), len(used)), dtype=np.int32)
    remap[used] = np.arange(len(used), dtype=np.int32)
    return pd.Categorical.from_codes(remap[codes], [texts[u] for u in used])


evaluate.__doc__ = (evaluate.__doc__ or "").replace("%(inputs)s", "\n    ".join(
    f"- ``{key}``: {caption} {unit}, {first_run:g}"
    for key, caption, unit, first_run in _core.input_table())).replace("%(outputs)s", "\n    ".join(
        f"- ``{key}``: {caption} {unit}" for key, caption, unit in _core.result_table()))
