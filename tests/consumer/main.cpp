// SPDX-License-Identifier: MIT
// Computes the humid summer point through the installed model and shows it
// in the installed numeric field.
#include <nebelkamm/controls/Valedit.h>
#include <nebelkamm/core/Columns.h>
#include <nebelkamm/model/Version.h>

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const nebelkamm::ChargeAirInputs in{90, 37, 1.02, 2.4, 40, 7.8, 41200};
    const nebelkamm::Evaluation e = nebelkamm::Evaluate(in);
    const nebelkamm::Column& water = *nebelkamm::WindowColumn(13);
    QWidget window;
    TValEdit field(&window);
    field.resize(65, 21);
    field.setPrecision(1);
    field.SetValue(water.Value(e));
    std::printf("nebelkamm %s: %s %s %s\n", nebelkamm::Version, water.Caption,
                qPrintable(field.text().trimmed()), water.Unit);
    return 0;
}
