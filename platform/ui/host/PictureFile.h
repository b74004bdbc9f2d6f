#pragma once
// Writing a rendered picture (a screenshot, a widget) to a PNG file whole or not at all: the
// picture is encoded in memory, its bytes go to a temporary file beside the destination, and
// that file is renamed into place only once every byte is written and flushed. A full disk or a
// read-only folder leaves neither a cut-off picture nor a changed old one, and the failure comes
// back with its cause. (Qt's own file writing reports success for a PNG cut off by a full disk.)

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <cerrno>
#include <cstring>
#include <string>

namespace hx::ui {

inline bool writePngFile(const QImage& picture, const std::string& path,
                         std::string* error = nullptr) {
    auto failed = [&](const std::string& cause) {
        if (error) *error = cause;
        return false;
    };
    if (picture.isNull()) return failed("there is no picture to write");
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "PNG")) return failed("the picture cannot be encoded as PNG");

    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    std::string temporary = (slash == std::string::npos ? std::string() : folder) + ".png-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return failed(std::strerror(errno));
    const char* data = bytes.constData();
    size_t left = size_t(bytes.size());
    int cause = 0;
    while (left > 0 && cause == 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            cause = n < 0 ? errno : ENOSPC;
            break;
        }
        data += n;
        left -= size_t(n);
    }
    if (cause == 0 && ::fsync(fd) != 0) cause = errno;
    if (::fchmod(fd, 0644) != 0 && cause == 0) cause = errno;
    if (::close(fd) != 0 && cause == 0) cause = errno;
    if (cause == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) cause = errno;
    if (cause != 0) {
        ::unlink(temporary.c_str());
        return failed(std::strerror(cause));
    }
    return true;
}

}  // namespace hx::ui
