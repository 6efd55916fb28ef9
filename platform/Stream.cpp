#include "platform/Stream.h"

#include "platform/Exception.h"
#include "platform/Files.h"
#include "platform/Format.h"
#include "platform/HandleRegistry.h"
#include "platform/Path.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace za {

namespace detail {

namespace {

struct Registry {
    std::mutex mutex;
    std::unordered_map<int, TFileStream*> streams;
};

Registry& TheRegistry() {
    static auto* registry = new Registry; // never destroyed: streams may close during exit
    return *registry;
}

} // namespace

void RegisterFileHandle(int handle, TFileStream* stream) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.mutex);
    r.streams[handle] = stream;
}

void UnregisterFileHandle(int handle) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.mutex);
    r.streams.erase(handle);
}

void SyncFileHandle(int handle) {
    Registry& r = TheRegistry();
    TFileStream* stream = nullptr;
    {
        std::lock_guard<std::mutex> guard(r.mutex);
        auto it = r.streams.find(handle);
        if (it != r.streams.end()) {
            stream = it->second;
        }
    }
    if (stream != nullptr) {
        // Only the pending data matters to what is done with the descriptor
        // next (stamping its time); an error stays for the stream to report.
        try {
            stream->WriteOut();
        } catch (const EWriteError&) {
        }
    }
}

std::u16string ErrorText(int err) {
    char buf[256];
    const char* text = strerror_r(err, buf, sizeof buf);
    return FromUtf8(text);
}

} // namespace detail

namespace {

constexpr size_t kFileBufferSize = 64 * 1024;
constexpr int64_t kCopyBufferSize = 256 * 1024;

[[noreturn]] void ThrowReadError() {
    throw EReadError(u"Stream read error");
}
[[noreturn]] void ThrowWriteError() {
    throw EWriteError(u"Stream write error");
}

// New position for a seek; -1 when it cannot be represented.
int64_t SeekTarget(int64_t base, int64_t offset) {
    int64_t r;
    if (__builtin_add_overflow(base, offset, &r)) {
        return -1;
    }
    return r;
}

// Memory-backed streams share the same read/write/seek rules: a negative
// position is allowed by Seek but reads and writes there do nothing.
template <typename Container>
int64_t MemRead(const Container& data, int64_t& pos, void* buffer, int64_t count) {
    const auto size = static_cast<int64_t>(data.size());
    if (count <= 0 || pos < 0 || pos >= size) {
        return 0;
    }
    const int64_t n = std::min(count, size - pos);
    std::memcpy(buffer, data.data() + pos, static_cast<size_t>(n));
    pos += n;
    return n;
}

template <typename Container>
int64_t MemWrite(Container& data, int64_t& pos, const void* buffer, int64_t count) {
    if (count <= 0 || pos < 0) {
        return 0;
    }
    int64_t end;
    if (__builtin_add_overflow(pos, count, &end)) {
        return 0;
    }
    if (end > static_cast<int64_t>(data.size())) {
        data.resize(static_cast<size_t>(end));
    }
    std::memcpy(reinterpret_cast<char*>(data.data()) + pos, buffer, static_cast<size_t>(count));
    pos = end;
    return count;
}

int64_t MemSeek(int64_t size, int64_t& pos, int64_t offset, TSeekOrigin origin) {
    switch (origin) {
    case soBeginning:
        pos = offset;
        break;
    case soCurrent:
        pos = SeekTarget(pos, offset);
        break;
    case soEnd:
        pos = SeekTarget(size, offset);
        break;
    }
    return pos;
}

} // namespace

// ---------------------------------------------------------------- TStream

int64_t TStream::Size() {
    const int64_t pos = Seek(0, soCurrent);
    const int64_t end = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return end;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
    if (count < 0) {
        ThrowReadError();
    }
    auto* p = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const int64_t n = Read(p + done, count - done);
        if (n <= 0) {
            ThrowReadError();
        }
        done += n;
    }
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    if (count < 0) {
        ThrowWriteError();
    }
    const auto* p = static_cast<const uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const int64_t n = Write(p + done, count - done);
        if (n <= 0) {
            ThrowWriteError();
        }
        done += n;
    }
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count <= 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    const int64_t total = count;
    std::vector<uint8_t> buffer(
        static_cast<size_t>(std::min(std::max<int64_t>(count, 1), kCopyBufferSize)));
    while (count > 0) {
        const int64_t n = std::min<int64_t>(count, static_cast<int64_t>(buffer.size()));
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        count -= n;
    }
    return total;
}

// ---------------------------------------------------------------- TFileStream

namespace {

enum LockKind { kNoLock, kSharedIfFree, kShared, kExclusive };

LockKind LockFor(uint16_t mode, bool writing) {
    switch (mode & 0xF0) {
    case fmShareExclusive:
    case fmShareDenyRead:
        return kExclusive;
    case fmShareDenyWrite:
        return writing ? kExclusive : kShared;
    case fmShareDenyNone:
        return kSharedIfFree;
    default:
        return kNoLock;
    }
}

// False only when another open file holds a conflicting lock.
bool TakeLock(int fd, LockKind kind) {
    if (kind == kNoLock) {
        return true;
    }
    const int op = (kind == kExclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    int rc;
    do {
        rc = flock(fd, op);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        return true;
    }
    if (errno != EWOULDBLOCK) {
        return true; // the file system cannot lock: nobody else can hold a lock either
    }
    return kind == kSharedIfFree;
}

} // namespace

TFileStream::TFileStream(const std::u16string& fileName, uint16_t mode) : FFileName(fileName) {
    const bool create = (mode & 0xFF00) == fmCreate;
    int flags = O_CLOEXEC;
    bool writing = true;
    if (create) {
        flags |= O_RDWR | O_CREAT;
    } else {
        switch (mode & 0x0F) {
        case fmOpenRead:
            flags |= O_RDONLY;
            writing = false;
            break;
        case fmOpenWrite:
            flags |= O_WRONLY;
            break;
        default:
            flags |= O_RDWR;
            break;
        }
    }
    const std::u16string fmt =
        create ? u"Cannot create file \"%s\". %s" : u"Cannot open file \"%s\". %s";
    auto fail = [&](const std::u16string& reason) {
        const std::u16string message = Format(fmt, {fileName, reason});
        if (create) {
            throw EFCreateError(message);
        }
        throw EFOpenError(message);
    };

    const std::string native = ToNativePath(fileName);
    int fd;
    do {
        fd = ::open(native.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        fail(detail::ErrorText(errno));
    }
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        fail(detail::ErrorText(EISDIR));
    }
    if (!TakeLock(fd, LockFor(mode, writing))) {
        ::close(fd);
        fail(u"The process cannot access the file because it is being used by another process.");
    }
    if (create && ftruncate(fd, 0) != 0) {
        const int err = errno;
        ::close(fd);
        fail(detail::ErrorText(err));
    }
    FHandle = fd;
    FReadOnly = !writing;
    detail::RegisterFileHandle(FHandle, this);
}

TFileStream::TFileStream(const std::u16string& fileName, int handle, TAdopt)
    : FFileName(fileName), FHandle(handle) {
    detail::RegisterFileHandle(FHandle, this);
}

std::unique_ptr<TFileStream> TFileStream::CreateTemp(const std::u16string& dir,
                                                     const std::u16string& prefix) {
    // The file is new and empty and nobody else holds it: no truncation and
    // no lock are needed, unlike an fmCreate open of an existing name.
    int fd = -1;
    const std::u16string name = detail::CreateUniqueFile(dir, prefix, fd);
    if (fd < 0) {
        return nullptr;
    }
    return std::unique_ptr<TFileStream>(new TFileStream(name, fd, TAdopt{}));
}

TFileStream::~TFileStream() {
    if (FHandle < 0) {
        return;
    }
    if (FWriting && FDirty > 0) {
        try {
            FlushWriteBuffer();
        } catch (...) {
            // A destructor cannot report it; Flush() is the way to see it.
        }
    }
    detail::UnregisterFileHandle(FHandle);
    ::close(FHandle);
}

namespace {

// Reads until count bytes, the end of the file, or an error (EReadError).
int64_t PReadFully(int fd, uint8_t* p, int64_t count, int64_t offset, bool once) {
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd, p + done, static_cast<size_t>(count - done), offset + done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowReadError();
        }
        if (n == 0) {
            break;
        }
        done += n;
        if (once) {
            break;
        }
    }
    return done;
}

// Writes until count bytes or an error; returns the bytes written.
int64_t PWriteFully(int fd, const uint8_t* p, int64_t count, int64_t offset) {
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(fd, p + done, static_cast<size_t>(count - done), offset + done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (n == 0) {
            break;
        }
        done += n;
    }
    return done;
}

} // namespace

// Writes the pending bytes; on a partial failure the rest stays pending (at the
// front of the buffer) and EWriteError is raised.
void TFileStream::FlushWriteBuffer() {
    if (FDirty > 0) {
        const int64_t n = PWriteFully(FHandle, FBuf.get(), static_cast<int64_t>(FDirty), FBufStart);
        if (n < static_cast<int64_t>(FDirty)) {
            std::memmove(FBuf.get(), FBuf.get() + n, FDirty - static_cast<size_t>(n));
            FDirty -= static_cast<size_t>(n);
            FBufStart += n;
            ThrowWriteError();
        }
        FBufStart += n;
        FDirty = 0;
    }
    FWriting = false;
}

void TFileStream::EnsureBuffer() {
    // Left uninitialised: only bytes read or written into it are ever used,
    // and zeroing 64 KiB per file is measurable with thousands of small ones.
    if (!FBuf) {
        FBuf.reset(new uint8_t[kFileBufferSize]);
    }
}

void TFileStream::DropReadBuffer() {
    FBufLen = 0;
}

int TFileStream::Handle() const {
    auto* self = const_cast<TFileStream*>(this);
    if (self->FWriting) {
        try {
            self->FlushWriteBuffer();
        } catch (const EWriteError&) {
            // The data stays pending; the next Write or Flush reports it.
        }
    }
    self->DropReadBuffer();
    if (FHandle >= 0 && lseek(FHandle, FPos >= 0 ? FPos : 0, SEEK_SET) >= 0) {
        self->FFilePos = FPos;
    }
    return FHandle;
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || FPos < 0) {
        return 0;
    }
    if (FWriting) {
        FlushWriteBuffer();
    }
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    const auto bufSize = static_cast<int64_t>(kFileBufferSize);
    while (done < count) {
        if (FBufLen > 0 && FPos >= FBufStart && FPos < FBufStart + static_cast<int64_t>(FBufLen)) {
            const int64_t off = FPos - FBufStart;
            const int64_t take = std::min(static_cast<int64_t>(FBufLen) - off, count - done);
            std::memcpy(out + done, FBuf.get() + off, static_cast<size_t>(take));
            FPos += take;
            done += take;
            continue;
        }
        const int64_t want = count - done;
        if (want >= bufSize) {
            // Large reads go straight into the caller's memory.
            const int64_t n = PReadFully(FHandle, out + done, want, FPos, false);
            FPos += n;
            done += n;
            break;
        }
        EnsureBuffer();
        FBufLen = 0;
        FBufStart = FPos;
        const int64_t n = PReadFully(FHandle, FBuf.get(), bufSize, FPos, true);
        FBufLen = static_cast<size_t>(n);
        if (n == 0) {
            break;
        }
    }
    return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    if (count <= 0 || FPos < 0 || FReadOnly) {
        return 0;
    }
    if (!FWriting) {
        DropReadBuffer();
        FWriting = true;
        FBufStart = FPos;
        FDirty = 0;
    }
    // Here FPos == FBufStart + FDirty.
    if (FDirty > 0 && FDirty + static_cast<uint64_t>(count) > kFileBufferSize) {
        try {
            FlushWriteBuffer();
        } catch (const EWriteError&) {
            FWriting = true; // the rest is still pending
            return 0;
        }
        FWriting = true;
        FBufStart = FPos;
    }
    const auto* in = static_cast<const uint8_t*>(buffer);
    // With nothing pending, a write of half the buffer or more goes straight
    // to the file: copying it into the buffer first would gain nothing.
    if (static_cast<uint64_t>(count) >= kFileBufferSize ||
        (FDirty == 0 && static_cast<uint64_t>(count) >= kFileBufferSize / 2)) {
        const int64_t n = PWriteFully(FHandle, in, count, FPos);
        FPos += n;
        FBufStart = FPos;
        return n;
    }
    EnsureBuffer();
    std::memcpy(FBuf.get() + FDirty, in, static_cast<size_t>(count));
    FDirty += static_cast<size_t>(count);
    FPos += count;
    return count;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t target = FPos;
    switch (origin) {
    case soBeginning:
        target = offset;
        break;
    case soCurrent:
        if (offset == 0) {
            return FPos;
        }
        target = SeekTarget(FPos, offset);
        break;
    case soEnd:
        target = SeekTarget(Size(), offset);
        break;
    }
    if (FWriting && target != FBufStart + static_cast<int64_t>(FDirty)) {
        FlushWriteBuffer();
    }
    FPos = target;
    return FPos;
}

int64_t TFileStream::Size() {
    struct stat st {};
    int64_t size = 0;
    if (fstat(FHandle, &st) == 0) {
        size = st.st_size;
    }
    if (FWriting) {
        size = std::max(size, FBufStart + static_cast<int64_t>(FDirty));
    }
    return size;
}

void TFileStream::SetSize(int64_t newSize) {
    if (newSize < 0) {
        ThrowWriteError();
    }
    if (FWriting) {
        FlushWriteBuffer();
    }
    DropReadBuffer();
    int rc;
    do {
        rc = ftruncate(FHandle, newSize);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ThrowWriteError();
    }
    FPos = newSize;
}

void TFileStream::WriteOut() {
    if (FWriting) {
        FlushWriteBuffer();
    }
}

void TFileStream::Flush() {
    if (FWriting) {
        FlushWriteBuffer();
    }
    if (fsync(FHandle) != 0 && (errno == EIO || errno == ENOSPC || errno == EDQUOT)) {
        ThrowWriteError();
    }
}

// ---------------------------------------------------------------- memory streams

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    return MemRead(FData, FPos, buffer, count);
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    return MemWrite(FData, FPos, buffer, count);
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    return MemSeek(static_cast<int64_t>(FData.size()), FPos, offset, origin);
}

void TMemoryStream::SetSize(int64_t newSize) {
    if (newSize < 0) {
        ThrowWriteError();
    }
    FData.resize(static_cast<size_t>(newSize));
    if (FPos > newSize) {
        FPos = newSize;
    }
}

void TMemoryStream::Clear() {
    FData.clear();
    FData.shrink_to_fit();
    FPos = 0;
}

void TMemoryStream::LoadFromFile(const std::u16string& fileName) {
    TFileStream file(fileName, fmOpenRead | fmShareDenyNone);
    const int64_t size = file.Size();
    std::vector<uint8_t> data(static_cast<size_t>(size));
    file.ReadBuffer(data.data(), size);
    FData = std::move(data);
    FPos = 0;
}

void TMemoryStream::SaveToFile(const std::u16string& fileName) {
    TFileStream file(fileName, fmCreate);
    file.WriteBuffer(FData.data(), static_cast<int64_t>(FData.size()));
    file.Flush();
}

int64_t TStringStream::Read(void* buffer, int64_t count) {
    return MemRead(FData, FPos, buffer, count);
}

int64_t TStringStream::Write(const void* buffer, int64_t count) {
    return MemWrite(FData, FPos, buffer, count);
}

int64_t TStringStream::Seek(int64_t offset, TSeekOrigin origin) {
    return MemSeek(static_cast<int64_t>(FData.size()), FPos, offset, origin);
}

void TStringStream::SetSize(int64_t newSize) {
    if (newSize < 0) {
        ThrowWriteError();
    }
    FData.resize(static_cast<size_t>(newSize));
    if (FPos > newSize) {
        FPos = newSize;
    }
}

int64_t TReadOnlyMemoryStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || FPos < 0 || FPos >= FSize) {
        return 0;
    }
    const int64_t n = std::min(count, FSize - FPos);
    std::memcpy(buffer, FData + FPos, static_cast<size_t>(n));
    FPos += n;
    return n;
}

int64_t TReadOnlyMemoryStream::Write(const void*, int64_t) {
    return 0;
}

int64_t TReadOnlyMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    return MemSeek(FSize, FPos, offset, origin);
}

void TReadOnlyMemoryStream::SetSize(int64_t) {
    ThrowWriteError();
}

} // namespace za
