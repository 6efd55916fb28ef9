// Byte streams: the base stream, buffered file stream, memory stream, ANSI
// string stream and the discarding null stream.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace za {

enum TSeekOrigin : uint8_t { soBeginning = 0, soCurrent = 1, soEnd = 2 };

// File-open mode words. The low nibble is the access, the next one the
// sharing; fmCreate creates the file, replacing an existing one.
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;
constexpr uint16_t fmCreate = 0xFF00;

class TStream {
public:
    virtual ~TStream() = default;
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    // Reads up to count bytes; returns the number read (0 at the end).
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    // Writes up to count bytes; returns the number written.
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Moves the position; returns the new position.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    virtual int64_t Size();
    virtual void SetSize(int64_t newSize) = 0;

    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t pos) { Seek(pos, soBeginning); }

    // Exactly count bytes or EReadError / EWriteError.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    // Copies count bytes from source (count 0: the whole source from its start).
    int64_t CopyFrom(TStream& source, int64_t count);
};

// Buffered file stream. Open modes (see Files.h for how names map to POSIX):
//  fmCreate (65280)            create or truncate, read-write;
//  fmOpenReadWrite|DenyWrite (34) read-write; takes an exclusive advisory lock,
//                              so a second opener that denies writers fails;
//  fmOpenRead|DenyNone (64)    read-only; takes a shared advisory lock only if
//                              no exclusive one is held, never fails because of locks.
// Advisory locks (flock) only bind processes that also ask for them; they
// belong to the open file, so two streams of one process exclude each other too.
// Other combinations: access = low nibble (read, write, read-write); sharing:
// compat takes no lock, exclusive and deny-read take an exclusive lock,
// deny-write an exclusive lock when writing and a shared one when reading
// (failing on a conflict), deny-none a shared lock when free (never failing).
// fmCreate may be combined with a sharing nibble; it truncates only after the
// lock was granted.
// Writes are buffered: an error of a deferred write-out shows at the next
// Write (which then reports 0 bytes and keeps the data), at Flush, Seek, Read
// or SetSize (EWriteError); at destruction it can no longer be reported.
class TFileStream : public TStream {
public:
    TFileStream(const std::u16string& fileName, uint16_t mode);
    ~TFileStream() override;
    // A new, empty file under a unique name in a folder ("dir\~za1234.tmp"
    // for the prefix "~za"), open as fmCreate would open it; FileName()
    // tells the name. Null when no such file can be created.
    static std::unique_ptr<TFileStream> CreateTemp(const std::u16string& dir,
                                                   const std::u16string& prefix);

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override;
    void SetSize(int64_t newSize) override;

    // Writes pending buffered data and asks the system to put it on disk;
    // EWriteError when that fails.
    void Flush();
    // Writes pending buffered data to the file without asking for the disk;
    // EWriteError when that fails.
    void WriteOut();
    const std::u16string& FileName() const { return FFileName; }
    // The descriptor, brought up to date first: pending buffered writes are
    // written out, read-ahead is dropped and its offset is set to Position().
    // (So FileSetDate(Handle(), ...) is not undone by a later write-out.)
    int Handle() const;

private:
    struct TAdopt {};
    TFileStream(const std::u16string& fileName, int handle, TAdopt);
    void FlushWriteBuffer();
    void DropReadBuffer();
    void EnsureBuffer();

    std::u16string FFileName;
    int FHandle = -1;
    int64_t FPos = 0;     // logical position
    int64_t FFilePos = 0; // position of the descriptor
    std::unique_ptr<uint8_t[]> FBuf;
    int64_t FBufStart = 0; // file offset of FBuf[0]
    size_t FBufLen = 0;    // valid bytes in FBuf (read mode)
    size_t FDirty = 0;     // pending bytes in FBuf (write mode)
    bool FWriting = false;
    bool FReadOnly = false; // opened for reading only: writes report 0 at once
};

class TMemoryStream : public TStream {
public:
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(FData.size()); }
    void SetSize(int64_t newSize) override;

    void Clear();
    const uint8_t* Memory() const { return FData.data(); }
    uint8_t* Memory() { return FData.data(); }
    std::vector<uint8_t>& Data() { return FData; }
    void LoadFromFile(const std::u16string& fileName);
    void SaveToFile(const std::u16string& fileName);

private:
    std::vector<uint8_t> FData;
    int64_t FPos = 0;
};

// Memory stream over an 8-bit (ANSI) string.
class TStringStream : public TStream {
public:
    explicit TStringStream(std::string data = {}) : FData(std::move(data)) {}
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(FData.size()); }
    void SetSize(int64_t newSize) override;
    const std::string& DataString() const { return FData; }

private:
    std::string FData;
    int64_t FPos = 0;
};

// Read-only view of caller memory (used to open archives held in memory).
class TReadOnlyMemoryStream : public TStream {
public:
    TReadOnlyMemoryStream(const void* data, size_t size)
        : FData(static_cast<const uint8_t*>(data)), FSize(static_cast<int64_t>(size)) {}
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override; // writes nothing, returns 0
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return FSize; }
    void SetSize(int64_t newSize) override; // raises EWriteError

private:
    const uint8_t* FData;
    int64_t FSize;
    int64_t FPos = 0;
};

// Accepts everything and stores nothing: reads report the requested count
// without touching the buffer, writes report the full count, seeking always
// returns 0 and setting the size does nothing.
class TNullStream : public TStream {
public:
    int64_t Read(void*, int64_t count) override { return count; }
    int64_t Write(const void*, int64_t count) override { return count; }
    int64_t Seek(int64_t, TSeekOrigin) override { return 0; }
    void SetSize(int64_t) override {}
};

} // namespace za
