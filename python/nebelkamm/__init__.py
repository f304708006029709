# SPDX-License-Identifier: MIT
"""The water that condenses in the charge air cooler, for arrays and tables.

The calculator's own evaluation core, over NumPy arrays and pandas data
frames, with the columns and the refusals of ``nebelkamm-cli --batch``:

>>> import pandas, nebelkamm
>>> log = pandas.DataFrame({"time": [1, 2], "RelativeHumidity": [90, 150]})
>>> nebelkamm.evaluate(log, inputs={"TempBeforeBlower": 37})  # doctest: +SKIP

Input columns are named by their settings key or the window's caption, in
any case, with an optional unit in any the command line reads ("Relative
humidity [%]", "TempAfterCooler [°F]", "ScavingAirPressure [bar a]"), and
are converted to the program's units; missing inputs
come from ``inputs`` (a dict by key) or the first-run values; other columns
are passed through. A row whose inputs make no physical sense, or whose
computation fails, has a message and no results.

The rows are evaluated a block at a time in vector code chosen for the CPU
when the module is imported; the environment variable NEBELKAMM_SIMD caps
it ("scalar" gives the numbers of a single point bit for bit; see the
README for the levels and the accuracy of the others).
"""

import numbers

import numpy as np

from . import _core

__all__ = ["evaluate", "evaluate_arrays", "KEYS", "AIR_BASES"]

#: The seven inputs' keys, in the settings file's and the command line's order.
KEYS = [key for key, kind in _core.columns(False) if kind == "input"]
#: What the specific air flow may be a flow of, with --reference.
AIR_BASES = {"humid": 0, "dry": 1}
_FIRST_RUN = dict(_core.first_run())


def _reference(reference, air_basis):
    if air_basis not in AIR_BASES:
        raise ValueError(f"air_basis is 'humid' or 'dry', not {air_basis!r}")
    return AIR_BASES[air_basis] if reference else -1


def _threads(threads):
    if threads is None:
        return 0
    if not isinstance(threads, numbers.Integral) or threads < 1:
        raise ValueError(f"threads is a whole number above 0 or None, not {threads!r}")
    return min(int(threads), 1 << 30)  # at most the cores run anyway


def _plan(names, inputs, mapping=None):
    """Which name holds which input (an index of KEYS) with its unit
    conversion, and the inputs that come from ``inputs`` or the first-run
    values. ``mapping`` takes column names the core does not know to a key
    or caption with an optional unit, as ``--column`` does."""
    mapping = dict(mapping or {})
    for name in mapping:
        if name not in names:
            raise ValueError(f"columns: the data has no column {name!r}")
    named = {}
    for name in names:
        if name in mapping:
            index, *unit = _core.input_named_by(str(name), str(mapping[name]))
        else:
            index, *unit = _core.input_named_by(str(name))
        if index < 0:
            continue
        if index in [i for i, *_ in named.values()]:
            raise ValueError(f"the data names {KEYS[index]} twice")
        named[name] = (index, *unit)
    if not named:
        raise ValueError("the data names no input: name the columns by their keys or the "
                         "window's captions, for instance RelativeHumidity or "
                         "'Relative humidity [%]', or map them with columns=")
    given = dict(inputs or {})
    for key in given:
        if key not in KEYS:
            raise ValueError(f"no input is called {key!r}; the inputs are {', '.join(KEYS)}")
    fixed = {KEYS.index(k): float(v) for k, v in {**_FIRST_RUN, **given}.items()}
    return named, fixed


def _numeric(name, values):
    array = np.asarray(values)
    if array.dtype.kind not in "iuf":
        raise TypeError(f"column {name!r} is not numeric ({array.dtype})")
    if array.ndim != 1:
        raise ValueError(f"column {name!r} is not one-dimensional")
    return array


def _as_given(source, rows):
    """An input column of the result: a read-only view of a float64 array
    given, never the caller's own object; other arrays converted."""
    if isinstance(source, float):
        return np.full(rows, source)
    if source.dtype != np.float64:
        return source.astype(np.float64)
    view = source.view()
    view.flags.writeable = False
    return view


_BAROMETRIC, _SCAVENGE = KEYS.index("PressureBeforeBlower"), KEYS.index("ScavingAirPressure")


def _run(columns, rows, reference, air_basis, inputs, threads, out=None, mapping=None):
    """The batch's output columns, in order, for named input columns."""
    named, fixed = _plan(columns, inputs, mapping)
    sources = [fixed[k] for k in range(len(KEYS))]
    for name, (index, offset, factor, _) in named.items():
        values = _numeric(name, columns[name])
        # The program's units: a converted column is a new array.
        sources[index] = values if (offset, factor) == (0, 1) else (values + offset) * factor
    if any(less for _, _, _, less in named.values()):
        sources[_SCAVENGE] = sources[_SCAVENGE] - np.asarray(sources[_BAROMETRIC], dtype=float)
    basis = _reference(reference, air_basis)
    raw = _core.evaluate(sources, rows, basis, _threads(threads), dict(out or {}))
    result = {}
    for key, kind in _core.columns(basis >= 0):
        if kind == "input":
            result[key] = _as_given(sources[KEYS.index(key)], rows)
        else:
            result[key] = raw[key]
    return named, result


def evaluate_arrays(data, *, reference=False, air_basis="humid", inputs=None, threads=None,
                    out=None):
    """Evaluates a mapping of column name to array: a dict of arrays with the
    batch's columns, the passed-through ones first as given, then the seven
    inputs (read-only views of the arrays given where they are float64), the
    results (float64, NaN where a row has none) and the messages (a read-only
    object array of str, "" for a good row, one str object for all rows with
    the same message; .copy() gives a writable one). float64 input is read where it stands, with any
    stride, never copied. No pandas needed.

    out: a dict of result column key to a contiguous, writable float64 array
    of the data's length (NumPy's convention): those results are written
    there and the dict returns those arrays; the other results are made
    anew. A loop over many files then pays for fresh memory only once."""
    columns = {name: np.asarray(values) for name, values in data.items()}
    lengths = {len(v) for v in columns.values()}
    if len(lengths) > 1:
        raise ValueError(f"the arrays differ in length: {sorted(lengths)}")
    rows = lengths.pop() if lengths else 0
    named, out = _run(columns, rows, reference, air_basis, inputs, threads, out)
    passed = {name: values for name, values in columns.items() if name not in named}
    return {**passed, **out}


def evaluate(data, *, reference=False, air_basis="humid", inputs=None, threads=None,
             columns=None):
    """Evaluates a pandas DataFrame (or a mapping of column name to
    array-like) row by row: a DataFrame with exactly the columns of
    ``nebelkamm-cli --batch``, in its order, the other columns passed through
    first; empty cells are NaN, ``message`` a string ("" for a good row).
    threads: None uses all cores for large inputs and one for small ones.
    columns: a dict that takes column names the module does not know to an
    input's key or caption with an optional unit, as ``nebelkamm-cli
    --column`` does: ``{"TAC": "TempAfterCooler[°F]"}``."""
    import pandas as pd

    frame = data if isinstance(data, pd.DataFrame) else pd.DataFrame(data)
    mapping = columns
    columns = {name: frame[name].to_numpy() for name in frame.columns}
    if len(columns) != len(frame.columns):
        raise ValueError("the data has two columns of one name")
    named, out = _run(columns, len(frame), reference, air_basis, inputs, threads, None, mapping)
    passed = frame[[name for name in frame.columns if name not in named]]
    return pd.concat([passed, pd.DataFrame(out, index=frame.index)], axis=1)
