// SPDX-License-Identifier: MIT
#include "io/Writers.h"

#include "platform/NumberText.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <sstream>

namespace nebelkamm {
namespace {

// JSON has no NaN or infinity: those become null.
std::string JsonNumber(double v) {
    char buf[ShortestTextMax];
    const std::size_t n = ShortestText(v, buf);
    return n ? std::string(buf, n) : "null";
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
            out += buf;
            continue;
        }
        out += c;
    }
    return out + '"';
}

// One line of the text output: caption, value right-aligned, unit.
void TextRow(std::ostream& out, const Column& c, const Evaluation& e, char decimal) {
    out << std::left << std::setw(44) << c.Caption << std::right << std::setw(14)
        << FormatFloat(DisplayPattern(c.Decimals), c.Value(e), decimal) << "  " << c.Unit << '\n';
}

void JsonObject(std::ostream& out, const char* name, const Evaluation& e, ColumnGroup group) {
    out << "  \"" << name << "\": {";
    bool first = true;
    if (group == ColumnGroup::Reference) {
        out << "\n    \"AirBasis\": \"" << AirBasisName(*e.Basis) << '"';
        first = false;
        if (e.Reference.Failure) {
            out << ",\n    \"Failure\": " << JsonString(e.Reference.Failure) << "\n  }";
            return;
        }
    }
    for (const Column& c : Columns) {
        if (c.Group != group)
            continue;
        out << (first ? "\n" : ",\n") << "    \"" << c.JsonKey()
            << "\": " << JsonNumber(c.Value(e));
        first = false;
    }
    out << "\n  }";
}

// Gathers a row's cells in a buffer of its own and appends them to the
// string in a few large pieces, which costs far less than a string append
// for every cell.
class CellWriter {
public:
    explicit CellWriter(std::string& out) : out_(out) {}
    CellWriter(const CellWriter&) = delete;
    CellWriter& operator=(const CellWriter&) = delete;
    ~CellWriter() { Flush(); }

    // Begins a cell: the separator before it unless it is the first, and
    // room for a number.
    void Cell(bool first, char separator) {
        if (sizeof buffer_ - used_ < ShortestTextMax + 2)
            Flush();
        if (!first)
            buffer_[used_++] = separator;
    }
    void Put(std::string_view text) {
        if (text.size() > sizeof buffer_ - used_) {
            Flush();
            if (text.size() > sizeof buffer_) {
                out_.append(text);
                return;
            }
        }
        std::memcpy(buffer_ + used_, text.data(), text.size());
        used_ += text.size();
    }
    // A number: after Cell, which left room for it.
    void Number(double value, char decimal) {
        char* const at = buffer_ + used_;
        const std::size_t n = ShortestText(value, at);
        if (decimal != '.')
            std::replace(at, at + n, '.', decimal);
        used_ += n;
    }
    void Field(std::string_view text, char separator) {
        Flush();
        AppendField(out_, text, separator);
    }
    void Flush() {
        out_.append(buffer_, used_);
        used_ = 0;
    }

private:
    std::string& out_;
    char buffer_[1024];
    std::size_t used_ = 0;
};

} // namespace

void AppendCsvHeader(std::string& out, std::span<const Column> columns, char separator) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i)
            out += separator;
        out += columns[i].Key;
    }
    out += '\n';
}

RowValues RowValues::Of(const Evaluation& e) {
    RowValues row;
    for (std::size_t i = 0; i < Columns.size(); ++i)
        if (Columns[i].IsNumber() && (Columns[i].Group != ColumnGroup::Reference || e.Basis))
            row.Value[i] = Columns[i].Value(e);
    row.Message = e.Message();
    row.ReferenceMessage = e.ReferenceMessage();
    return row;
}

void AppendCsvCells(std::string& out, std::span<const Column> columns, const RowValues& row,
                    const InputCells& inputs, std::string_view readError, const Dialect& dialect) {
    const bool read = readError.empty();
    CellWriter cells(out);
    // The columns start with the seven inputs, so an input's index is its cell's.
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const Column& c = columns[i];
        cells.Cell(i == 0, dialect.Separator);
        switch (c.Group) {
        case ColumnGroup::Input:
            if (!inputs.Shortest[i].empty())
                cells.Put(inputs.Shortest[i]);
            else if (inputs.Read[i])
                cells.Number(row.Value[i], dialect.Decimal);
            break;
        case ColumnGroup::Classic:
            if (read && !row.Message)
                cells.Number(row.Value[i], dialect.Decimal);
            break;
        case ColumnGroup::Reference:
            if (read && !row.ReferenceMessage)
                cells.Number(row.Value[i], dialect.Decimal);
            break;
        case ColumnGroup::Message:
        case ColumnGroup::ReferenceMessage:
            if (!read) {
                cells.Field(readError, dialect.Separator);
            } else if (const char* why =
                           c.Group == ColumnGroup::Message ? row.Message : row.ReferenceMessage) {
                cells.Field(why, dialect.Separator);
            }
            break;
        }
    }
    cells.Put("\n");
}

std::string TextResult(const Evaluation& e, char decimal) {
    std::ostringstream out;
    if (!e.Failure)
        for (const Column* c : ClassicRows())
            TextRow(out, *c, e, decimal);
    if (e.Basis) {
        out << '\n' << ReferenceHeading(*e.Basis) << '\n';
        if (e.Reference.Failure)
            out << "No result: " << e.Reference.Failure << '\n';
        else
            for (const Column& c : ReferenceColumns)
                TextRow(out, c, e, decimal);
    }
    return out.str();
}

std::string JsonResult(const Evaluation& e, std::span<const std::string> warnings) {
    std::ostringstream out;
    out << "{\n";
    JsonObject(out, "inputs", e, ColumnGroup::Input);
    out << ",\n";
    JsonObject(out, "results", e, ColumnGroup::Classic);
    out << ",\n  \"warnings\": [";
    const char* comma = "";
    if (e.Impossible) {
        out << JsonString(e.Impossible);
        comma = ", ";
    }
    for (const std::string& w : warnings) {
        out << comma << JsonString(w);
        comma = ", ";
    }
    out << ']';
    if (e.Basis) {
        out << ",\n";
        JsonObject(out, "reference", e, ColumnGroup::Reference);
    }
    out << "\n}\n";
    return out.str();
}

void WriteSweepCsv(Sink& out, const Sweep& sweep, bool reference) {
    const std::span<const Column> columns = OutputColumns(reference);
    std::string text;
    AppendCsvHeader(text, columns, ',');
    for (const Evaluation& e : sweep.Points) {
        AppendCsvCells(text, columns, RowValues::Of(e), {}, {}, Dialect{});
        if (text.size() > (std::size_t(1) << 18)) {
            out.Write(text);
            text.clear();
        }
    }
    out.Write(text);
}

} // namespace nebelkamm
