// SPDX-License-Identifier: MIT
// Computes the humid summer point through the installed model and shows it
// in the installed numeric field.
#include <nebelkamm/controls/Valedit.h>
#include <nebelkamm/model/Version.h>
#include <nebelkamm/settings/Rows.h>

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const nebelkamm::ChargeAirInputs in{90, 37, 1.02, 2.4, 40, 7.8, 41200};
    const auto res = nebelkamm::ComputeChargeAir(in);
    QWidget window;
    TValEdit field(&window);
    field.resize(65, 21);
    field.setPrecision(1);
    field.SetValue(res.WaterAtSeparator);
    std::printf("nebelkamm %s: %s %s %s\n", nebelkamm::Version,
                nebelkamm::ChargeAirRows.back().Caption, qPrintable(field.text().trimmed()),
                nebelkamm::ChargeAirRows.back().Unit);
    return 0;
}
