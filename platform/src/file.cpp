// Files are plain descriptors; the share mode is kept with an advisory lock taken without
// waiting, so that an exclusive open elsewhere makes this one fail as a sharing violation.
#include "platform/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/errors.h"
#include "platform/wstring.h"

namespace {

struct File {
    int fd;
};

int OpenFlags(DWORD access, DWORD disposition)
{
    int flags = (access & GENERIC_WRITE) ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
    switch (disposition) {
    case CREATE_NEW: return flags | O_CREAT | O_EXCL;
    case CREATE_ALWAYS: return flags | O_CREAT | O_TRUNC;
    case OPEN_ALWAYS: return flags | O_CREAT;
    default: return flags;
    }
}

DWORD ErrorFromErrno(int e)
{
    switch (e) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES: case EPERM: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    default: return ERROR_INVALID_PARAMETER;
    }
}

File* AsFile(HANDLE h) { return (h && h != INVALID_HANDLE_VALUE) ? static_cast<File*>(h) : nullptr; }

}  // namespace

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD shareMode, void*, DWORD disposition, DWORD, HANDLE)
{
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const int fd = open(platform::Narrow(path).c_str(), OpenFlags(access, disposition) | O_CLOEXEC, 0644);
    if (fd < 0) {
        SetLastError(ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    const int lock = shareMode == 0 ? LOCK_EX : LOCK_SH;
    if (flock(fd, lock | LOCK_NB) != 0) {
        close(fd);
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    return new File{fd};
}

DWORD SetFilePointer(HANDLE h, LONG distance, LONG* distanceHigh, DWORD method)
{
    File* file = AsFile(h);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0xFFFFFFFF;
    }
    off_t offset = distance;
    if (distanceHigh) offset = static_cast<off_t>((static_cast<uint64_t>(*distanceHigh) << 32) | static_cast<DWORD>(distance));
    const int whence = method == FILE_END ? SEEK_END : (method == FILE_CURRENT ? SEEK_CUR : SEEK_SET);
    const off_t at = lseek(file->fd, offset, whence);
    if (at < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0xFFFFFFFF;
    }
    if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(at) >> 32);
    return static_cast<DWORD>(at);
}

BOOL WriteFile(HANDLE h, LPCVOID data, DWORD size, LPDWORD written, void*)
{
    File* file = AsFile(h);
    if (written) *written = 0;
    if (!file || (!data && size)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD done = 0;
    while (done < size) {
        const ssize_t n = write(file->fd, static_cast<const char*>(data) + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            SetLastError(ERROR_CANTWRITE);
            if (written) *written = done;
            return FALSE;
        }
        done += static_cast<DWORD>(n);
    }
    if (written) *written = done;
    return TRUE;
}

BOOL ReadFile(HANDLE h, LPVOID data, DWORD size, LPDWORD read, void*)
{
    File* file = AsFile(h);
    if (read) *read = 0;
    if (!file || (!data && size)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    ssize_t n;
    do {
        n = ::read(file->fd, data, size);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        SetLastError(ERROR_CANTREAD);
        return FALSE;
    }
    if (read) *read = static_cast<DWORD>(n);
    return TRUE;
}

BOOL CloseHandle(HANDLE h)
{
    File* file = AsFile(h);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    close(file->fd);
    delete file;
    return TRUE;
}
