// SPDX-License-Identifier: MIT
#pragma once

#include "core/Columns.h"
#include "core/Evaluation.h"
#include "model/Chargeair.h"
#include "model/Reference.h"
#include "settings/Settings.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Ui {
class TMainForm;
}
class TValEdit;
class TChartWindow;

// The calculator's window: seven input fields, six result fields.
class TMainForm : public QWidget {
    Q_OBJECT

public:
    // Loads or creates the settings file and applies the command line; a
    // failure there (the file cannot be created, an argument overflows)
    // escapes as nebelkamm::Exception and no window should be shown.
    explicit TMainForm(const std::vector<std::string>& args, QWidget* parent = nullptr,
                       std::string settingsFile = nebelkamm::SettingsFileName);
    ~TMainForm() override;

    void ReadInputs();
    const nebelkamm::ChargeAirInputs& Inputs() const { return settings_.Inputs; }
    // The field of the given designer name ("ValEdit1"), or null.
    TValEdit* Field(const char* name) const;
    // The field that shows a column, or null for one the window does not show.
    TValEdit* FieldOf(const nebelkamm::Column& column) const;

    // The last "Calculate" as it was computed, whatever the fields show now,
    // one row a line: caption, value, unit, separated by tabs (a table when
    // pasted into a spreadsheet): the thirteen rows and the water per day,
    // then the reference rows under their heading. After a failed
    // "Calculate", its inputs and why there are no results. Empty before
    // the first "Calculate".
    QString ResultsText() const;
    // Puts ResultsText on the clipboard.
    void CopyResults();
    // Opens the condensate chart, which follows every later "Calculate".
    TChartWindow* ShowChart();

public Q_SLOTS:
    void Button1Click();
    void btnExitClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    bool FormClose();

    std::unique_ptr<Ui::TMainForm> ui_;
    nebelkamm::ChargeAirSettings settings_;
    std::optional<nebelkamm::Evaluation> last_; // of the last "Calculate"
    std::array<TValEdit*, 13> fields_{};        // of the rows 1..13
    QPointer<TChartWindow> chart_;
};

// The error box of the program: the message with a full stop, error icon, OK.
void ShowException(QWidget* parent, const QString& message);

// The window's 8-point sans as the application font, which the fields also
// measure their blanks in.
void UseWindowFont();
