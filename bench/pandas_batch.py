#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
# What an engineer would write instead of nebelkamm-cli --batch: pandas reads
# the logged points, NumPy computes the nine steps as array expressions,
# pandas writes every number with round-trip precision.
# Usage: pandas_batch.py IN.csv OUT.csv
import sys

import numpy as np
import pandas as pd

stored = dict(RelativeHumidity=50.0, TempBeforeBlower=20.0, PressureBeforeBlower=1.02,
              ScavingAirPressure=2.4, TempAfterCooler=40.0, SpecificAirFlow=7.8,
              PowerOnEngine=40000.0)

df = pd.read_csv(sys.argv[1])
for key, value in stored.items():
    if key not in df.columns:
        df[key] = value
phi, t1, p1 = df.RelativeHumidity, df.TempBeforeBlower, df.PressureBeforeBlower
ps, t2, m, P = df.ScavingAirPressure, df.TempAfterCooler, df.SpecificAirFlow, df.PowerOnEngine
with np.errstate(all="ignore"):
    ps1 = np.power(2.71828, 19.016 - 4064.95 / (t1 + 236.25)) * 0.001
    x1 = ps1 / (100.0 * p1 / phi - ps1) * 0.622
    r = (ps + p1) / p1
    pv = r * x1 / (0.622 + x1) * 1000.0
    tc = 4064.95 / (19.016 - np.log(pv)) - 236.25
    ps2 = np.power(2.71828, 19.016 - 4064.95 / (t2 + 236.25)) * 0.001
    x2 = ps2 / (r - ps2) * 0.622
    d = np.maximum(x1 - x2, 0.0)
    W = m * P * d
df["WaterContentBeforeBlower"], df["PressureRatio"], df["DewPointTemperature"] = x1, r, tc
df["MaxWaterContentInCooler"], df["CondensingWaterContent"], df["WaterAtSeparator"] = x2, d, W
df["WaterPerDay"] = W * 24 / 1000
df["message"] = ""
df.to_csv(sys.argv[2], index=False, float_format="%.17g")
