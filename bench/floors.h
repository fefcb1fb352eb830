#pragma once

// The least any reading or rewriting of a data file costs, for the
// benchmarks that measure changes against it.

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bench {

[[noreturn]] inline void FloorFailed(const char *what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// The file's bytes read once into `buffer`. The buffer is kept from one run
// to the next by the callers, so the floor pays for no memory the system has
// to hand out afresh (the first touch of 20 MB can cost more CPU time than
// reading them).
inline void ReadFloor(const QString &path, std::vector<char> &buffer) {
    const QByteArray target = QFile::encodeName(path);
    const int in = ::open(target.constData(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (in < 0 || ::fstat(in, &st) != 0)
        FloorFailed("the floor could not read the file");
    buffer.resize(size_t(st.st_size));
    size_t got = 0;
    while (got < buffer.size()) {
        const ssize_t n = ::read(in, buffer.data() + got, buffer.size() - got);
        if (n <= 0)
            FloorFailed("the floor could not read the file");
        got += size_t(n);
    }
    ::close(in);
}

// The file read once and written back once, as safely as every rewrite of a
// data file is made: a temporary file beside it, flushed, renamed over it,
// the folder flushed.
inline void RewriteFloor(const QString &path) {
    static std::vector<char> buffer;
    ReadFloor(path, buffer);
    const QByteArray target = QFile::encodeName(path);
    QByteArray temp = target + ".XXXXXX";
    const int out = ::mkostemp(temp.data(), O_CLOEXEC);
    if (out < 0)
        FloorFailed("the floor could not write the file");
    size_t written = 0;
    while (written < buffer.size()) {
        const ssize_t n = ::write(out, buffer.data() + written, buffer.size() - written);
        if (n <= 0)
            FloorFailed("the floor could not write the file");
        written += size_t(n);
    }
    if (::fsync(out) != 0 || ::close(out) != 0 ||
        ::rename(temp.constData(), target.constData()) != 0)
        FloorFailed("the floor could not write the file");
    const int folder =
        ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY);
    ::fsync(folder);
    ::close(folder);
}

} // namespace bench
