// A file created for writing, written through a buffer of its own so that
// many small writes cost few system calls.
#pragma once

#include <string>
#include <vector>

#include "failure.h"
#include "handles.h"

namespace framework {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();  // closes without reporting; call Close to learn of a failed flush
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the file, or empties it when it exists, for reading and writing,
    // shared with nobody. False when it cannot be opened.
    bool Open(const std::string& path);
    // Opens the file to write on at its end, creating it when it is missing.
    bool OpenToAppend(const std::string& path);
    // Empties the file and its buffer: what follows is written from byte 0.
    // Raises Failure when the file cannot be cut.
    void Restart();
    // Raises Failure when the data cannot be written.
    void Write(const void* data, size_t size);
    // Writes what is buffered and closes the file; raises Failure when that fails.
    void Close();
    // Closes the file without writing what is buffered, for a file about to be deleted.
    void Abandon();

private:
    void Flush();

    FileHandle handle_;
    std::vector<char> buffer_;
    size_t used_ = 0;
};

}  // namespace framework
