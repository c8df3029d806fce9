#include "core/units/glowny/filebytes.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>
#include <algorithm>
#include <type_traits>
#include <utility>

namespace kestro {

bool QtFileName(const std::filesystem::path& path, QString& name) {
    if constexpr (std::is_same_v<std::filesystem::path::value_type, char>) {
        const QByteArray native(path.c_str());
        name = QFile::decodeName(native);
        return QFile::encodeName(name) == native;
    } else {
        name = QString::fromStdU16String(path.u16string());
        return true;
    }
}

std::string UnspellableFileName(const std::filesystem::path& path) {
    return "The file name \"" + QFile::decodeName(QByteArray(path.string().c_str())).toStdString() +
           "\" is not valid in the system's encoding";
}

namespace {

// The path as Qt spells it in name; false, with result failed and saying why, when the system's
// encoding cannot spell it.
bool SpelledForQt(const std::filesystem::path& path, QString& name, FileResult& result) {
    if (QtFileName(path, name))
        return true;
    result.status = FileStatus::Failed;
    result.message = UnspellableFileName(path);
    return false;
}

}  // namespace

FileResult FileToRead(const std::filesystem::path& path, QString& name) {
    FileResult result;
    if (!SpelledForQt(path, name, result))
        return result;
    // Only an existing regular file is read: a missing file, a directory or a device (which may
    // never end) is left alone without a message.
    if (!QFileInfo(name).isFile())
        result.status = FileStatus::NotAFile;
    return result;
}

FileResult ReadFileBytes(const std::filesystem::path& path, int64_t maxBytes, std::string_view what,
                         std::string& bytes) {
    QString name;
    FileResult result = FileToRead(path, name);
    if (result.status != FileStatus::Done)
        return result;
    const QFileInfo info(name);
    const auto tooLarge = [&] {
        result.status = FileStatus::Refused;
        result.message = "\"" + name.toStdString() + "\" is too large to be a " +
                         std::string(what) + " (more than " + std::to_string(maxBytes) + " bytes).";
        return result;
    };
    if (info.size() > maxBytes)
        return tooLarge();
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = FileStatus::Failed;
        result.message = "Cannot open the " + std::string(what) + " \"" + name.toStdString() +
                         "\" for reading: " + file.errorString().toStdString();
        return result;
    }
    // At most one byte more than allowed is read, which tells a file that grew meanwhile.
    std::string read;
    read.reserve(static_cast<size_t>(info.size()));
    for (;;) {
        const int64_t room = maxBytes + 1 - static_cast<int64_t>(read.size());
        if (room <= 0)
            break;
        const QByteArray piece = file.read(std::min<int64_t>(room, int64_t{1} << 20));
        if (piece.isEmpty()) {
            if (file.error() == QFileDevice::NoError)
                break;
            result.status = FileStatus::Failed;
            result.message = "Cannot read the " + std::string(what) + " \"" + name.toStdString() +
                             "\": " + file.errorString().toStdString();
            return result;
        }
        read.append(piece.constData(), static_cast<size_t>(piece.size()));
    }
    const auto have = static_cast<int64_t>(read.size());
    if (have > maxBytes)
        return tooLarge();  // the file grew since its size was read
    bytes = std::move(read);
    return result;
}

FileResult CheckFileWritable(const std::filesystem::path& path) {
    FileResult result;
    QString name;
    if (!SpelledForQt(path, name, result))
        return result;
    QFile file(name);
    const bool existed = file.exists();
    // Append keeps an existing file as it is; NewOnly creates only what is then removed.
    const bool opened = existed ? file.open(QIODevice::WriteOnly | QIODevice::Append)
                                : file.open(QIODevice::WriteOnly | QIODevice::NewOnly);
    if (!opened) {
        result.status = FileStatus::Failed;
        result.message = file.errorString().toStdString();
        return result;
    }
    file.close();
    if (!existed)
        file.remove();
    return result;
}

FileResult WriteFileBytes(const std::filesystem::path& path, std::string_view bytes,
                          std::string_view what) {
    FileResult result;
    QString name;
    if (!SpelledForQt(path, name, result))
        return result;
    // Written to a temporary file and renamed over the old one, so a failed write keeps it.
    QSaveFile file(name);
    file.setDirectWriteFallback(true);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok)
        ok = file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
             static_cast<qint64>(bytes.size());
    if (ok)
        ok = file.commit();
    else
        file.cancelWriting();
    if (!ok) {
        result.status = FileStatus::Failed;
        result.message = "Cannot write the " + std::string(what) + " \"" + name.toStdString() +
                         "\": " + file.errorString().toStdString();
    }
    return result;
}

}  // namespace kestro
