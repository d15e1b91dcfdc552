#pragma once
// Flat files of fixed-size records: the work files and the sort's run files.
// Every failure raises InOutError with the runtime's French text.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace parelix {

class DriveTable;

class InOutError : public std::runtime_error {
public:
    InOutError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int code() const { return code_; }
private:
    int code_;
};

// 2 "Fichier introuvable", 5 "Accès au fichier refusé", 100 "Lecture au-delà de la fin de
// fichier", 101 "Disque plein", otherwise "Erreur E/S <code>".
std::string inOutErrorText(int code);
// The runtime code for an errno value (ENOENT 2, EACCES/EPERM 5, EMFILE/ENFILE 4, ENOMEM 8,
// ENOSPC 101, ...).
int inOutCodeFromErrno(int err);
[[noreturn]] void raiseInOutError(int code);

// Refusal to write over what is no regular file (a FIFO, a device, a socket): opening one
// may wait for a reader, or write to a device.
constexpr int kNotRegularFile = 1920;

// Writes a whole file at a POSIX path the user chose: into a new file in the same folder,
// which reaches the disk and then takes the old one's place (rename), so that any failure
// leaves the old file as it was and no new one behind. Over a symbolic link the file it names
// is replaced. A folder raises 21, a FIFO, device or socket kNotRegularFile, before anything
// is opened for writing; every failure raises InOutError.
void writeWholeFile(const std::string& posixPath, std::string_view content);

class WorkFile {
public:
    WorkFile() = default;
    ~WorkFile();
    WorkFile(const WorkFile&) = delete;
    WorkFile& operator=(const WorkFile&) = delete;

    // Binds the file to a Windows-style name over the drive table; the file must be closed.
    void assign(const std::string& name, const DriveTable& drives);
    const std::string& name() const { return name_; }

    void rewrite(std::size_t recordSize);   // create or truncate, open for writing
    void reset(std::size_t recordSize);     // open an existing file read-only
    bool isOpen() const { return fd_ >= 0; }
    std::size_t recordSize() const { return recordSize_; }

    // Reads up to count records; returns how many were read (fewer at the end of file).
    std::size_t blockRead(void* buffer, std::size_t count);
    void read(void* record);                // exactly one record, else error 100
    // One record by number, without moving the position the block reads go on from.
    void readAt(std::int64_t recordNumber, void* record);
    void write(const void* record);
    void blockWrite(const void* buffer, std::size_t count);
    void seek(std::int64_t recordNumber);
    std::int64_t fileSize();                // in records
    // Records of a file written from its start that the system has taken so far: what
    // another handle on the same file may read.
    std::int64_t recordsOut() const {
        return writeAt_ < 0 ? 0 : writeAt_ / static_cast<std::int64_t>(recordSize_);
    }
    void close();

    void erase();                           // the bound file, closed
    void rename(const std::string& newName);   // the bound file, closed; rebinds to newName

private:
    void flush();
    void writeOut(const char* more, std::size_t moreBytes, std::size_t now);
    std::size_t readBytes(char* buffer, std::size_t wanted);   // until wanted or end of file
    std::string name_;
    const DriveTable* drives_ = nullptr;   // maps name_, from assign()
    int fd_ = -1;
    bool writable_ = false;                 // reset opens read-only
    std::size_t recordSize_ = 1;
    std::string writeBuffer_;               // records waiting to be written
    std::int64_t writeAt_ = -1;             // file offset where they go; -1 when not known
};

}  // namespace parelix
