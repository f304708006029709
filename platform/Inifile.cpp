#include "platform/Inifile.h"

#include "platform/Errors.h"
#include "platform/NumberText.h"
#include "platform/Profile.h"

#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

#include <cmath>
#include <mutex>
#include <optional>
#include <unistd.h>

namespace nebelkamm {
namespace {

QString ToQ(const std::string& s) {
    return QString::fromLocal8Bit(s.data(), qsizetype(s.size()));
}

std::optional<std::string> ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes.toStdString();
}

// A read-only file refuses writes even for root, who passes access().
bool IsWritableFile(const QFileInfo& info) {
    const QFile::Permissions write = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return (info.permissions() & write) &&
           ::access(QFile::encodeName(info.absoluteFilePath()).constData(), W_OK) == 0;
}

} // namespace

TIniFile::TIniFile(std::string fileName, char decimalSeparator)
    : fileName_(std::move(fileName)), separator_(decimalSeparator) {}

bool FileExists(const std::string& fileName) {
    return QFileInfo(ToQ(fileName)).isFile();
}

bool TIniFile::Exists() const {
    return FileExists(fileName_);
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view def) const {
    const QFileInfo info(ToQ(fileName_));
    if (!info.isFile())
        return std::string(def);
    const auto content = ReadAll(info.filePath());
    if (!content)
        return std::string(def);
    return ProfileLookup(*content, section, key).value_or(std::string(def));
}

void TIniFile::WriteString(std::string_view section, std::string_view key,
                           std::string_view value) const {
    const auto refuse = [&] { throw EIniFileException("Unable to write to " + fileName_); };
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos ||
        key.find_first_of(std::string_view("\r\n\0=", 4)) != std::string_view::npos ||
        section.find_first_of(std::string_view("\r\n\0]", 4)) != std::string_view::npos)
        refuse();

    const QString path = ToQ(fileName_);
    QFileInfo info(path);
    // Follow a link so that the lock and the temporary file sit beside the target.
    if (info.isSymLink())
        info = QFileInfo(info.symLinkTarget());
    const QFileInfo dir(info.absolutePath());
    if (!dir.isDir())
        refuse();

    // The lock file serialises processes; the mutex threads of this one.
    static std::mutex inProcess;
    const std::lock_guard guard(inProcess);
    QLockFile lock(info.absoluteFilePath() + QStringLiteral(".lock"));
    // A folder that refuses the lock refuses the temporary file too; a
    // writable file in it is then rewritten in place, without the lock.
    bool inPlace = false;
    if (!lock.tryLock(5000)) {
        if (lock.error() != QLockFile::PermissionError)
            refuse();
        inPlace = true;
    }

    // Look at the file only under the lock: another writer may have created
    // or replaced it in the meantime.
    info.refresh();
    if (info.exists() && (!info.isFile() || !IsWritableFile(info)))
        refuse();
    std::string content;
    if (info.exists()) {
        auto current = ReadAll(info.absoluteFilePath());
        if (!current)
            refuse(); // never replace what we could not read
        content = std::move(*current);
    }
    const std::string updated = ProfileUpdate(content, section, key, value);
    QSaveFile out(info.absoluteFilePath());
    out.setDirectWriteFallback(inPlace);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(updated.data(), qint64(updated.size())) != qint64(updated.size()) ||
        !out.commit())
        refuse();
}

double TIniFile::ReadFloat(std::string_view section, std::string_view key, double def) const {
    const std::string text = ReadString(section, key, "");
    if (text.empty())
        return def;
    try {
        const double v = StrToFloat(text, separator_);
        return std::isfinite(v) ? v : def;
    } catch (const EConvertError&) {
        return def;
    }
}

void TIniFile::WriteFloat(std::string_view section, std::string_view key, double value) const {
    WriteString(section, key, FloatToStr(value, separator_));
}

} // namespace nebelkamm
