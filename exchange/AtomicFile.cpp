#include "exchange/AtomicFile.h"

#include "contacts/store/ContactStore.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quennet::exchange {

namespace {

constexpr int kMaxLinks = 40; // as many as the kernel follows in one path
constexpr int kNameAttempts = 100;

// The file a write to path replaces: symbolic links are followed, so that
// a link stays a link and the file it leads to gets the new content.
QString replacedFile(const QString &path)
{
    QFileInfo info(path);
    for (int hops = 0; hops < kMaxLinks && info.isSymLink(); ++hops)
        info.setFile(info.symLinkTarget());
    return info.filePath();
}

// The temporary file beside the target, as the writers see it. Every write
// goes straight to the descriptor (the writers buffer on their own), and the
// first failure's errno is kept: it is what the user needs to hear. Its mode
// is settled before the first byte is written, so a private file is never
// readable by others, not even for a moment.
class TemporaryFile : public QIODevice {
public:
    TemporaryFile(const QByteArray &target, FileAccess access);
    ~TemporaryFile() override;
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;

    int error() const { return m_error; }
    // Brings every byte to the disk and renames the file over the target.
    bool commit();

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override;

private:
    bool create(FileAccess access);
    int createUnique(mode_t mode);
    bool keep(int error);

    QByteArray m_target;
    QByteArray m_name; // empty once renamed
    int m_fd = -1;
    int m_error = 0;
};

TemporaryFile::TemporaryFile(const QByteArray &target, FileAccess access) : m_target(target)
{
    if (create(access))
        QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

TemporaryFile::~TemporaryFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_name.isEmpty())
        ::unlink(m_name.constData());
}

bool TemporaryFile::create(FileAccess access)
{
    struct stat existing {};
    const bool replacing = ::stat(m_target.constData(), &existing) == 0;
    // A file its owner made read-only is not replaced behind their back.
    if (replacing && ::access(m_target.constData(), W_OK) != 0)
        return keep(errno);
    const bool umaskDecides = access == FileAccess::Umask && !replacing;
    m_fd = createUnique(umaskDecides ? 0666 : 0600);
    if (m_fd < 0)
        return keep(errno);
    if (umaskDecides)
        return true;
    const mode_t mode = access == FileAccess::OwnerOnly ? 0600 : existing.st_mode & 0777;
    return ::fchmod(m_fd, mode) == 0 || keep(errno);
}

int TemporaryFile::createUnique(mode_t mode)
{
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        m_name = m_target + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        const int fd = ::open(m_name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST)
            break;
    }
    m_name.clear();
    return -1;
}

qint64 TemporaryFile::writeData(const char *data, qint64 size)
{
    for (qint64 done = 0; done < size;) {
        const ssize_t n = ::write(m_fd, data + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            keep(n < 0 ? errno : EIO);
            return -1;
        }
        done += n;
    }
    return size;
}

bool TemporaryFile::commit()
{
    if (m_error != 0)
        return false;
    const bool synced = ::fsync(m_fd) == 0 || keep(errno);
    const bool closed = ::close(std::exchange(m_fd, -1)) == 0 || keep(errno);
    if (!synced || !closed || ::rename(m_name.constData(), m_target.constData()) != 0)
        return keep(errno);
    m_name.clear();
    return true;
}

bool TemporaryFile::keep(int error)
{
    if (m_error == 0)
        m_error = error;
    return false;
}

} // namespace

FileAccess accessFor(const ContactStore &store)
{
    return store.credential().holdsKey() ? FileAccess::OwnerOnly : FileAccess::Umask;
}

bool writeFileAtomically(const QString &path, const std::function<bool(QIODevice &)> &write,
                         FileAccess access, QString *why)
{
    if (why)
        why->clear();
    if (path.isEmpty())
        return false;
    TemporaryFile file(QFile::encodeName(replacedFile(path)), access);
    const bool written = file.isOpen() && write(file) && file.commit();
    if (!written && why && file.error() != 0)
        *why = fileErrorText(file.error());
    return written;
}

QString fileErrorText(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("磁盘已满");
    case EFBIG:
        return QStringLiteral("文件超出了允许的大小");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有写入的权限");
    case EROFS:
        return QStringLiteral("文件系统是只读的");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("文件夹不存在");
    case EISDIR:
        return QStringLiteral("这是一个文件夹，不是文件");
    case ENAMETOOLONG:
        return QStringLiteral("文件名太长");
    case EIO:
        return QStringLiteral("磁盘读写出错");
    default:
        return QStringLiteral("写入文件时出错：%1").arg(qt_error_string(error));
    }
}

bool isSameFile(const QString &a, const QString &b)
{
    struct stat first {};
    struct stat second {};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

} // namespace quennet::exchange
