#pragma once

#include <signal.h>
#include <sys/resource.h>

#include <string>

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // The names of the entries in the folder, sorted, joined by blanks.
    std::string listing() const;

  private:
    std::string path_;
};

// Runs `work` in a child process that has given up root's privileges, so that file
// permissions hold for it; returns what `work` returned, or -1 if the child failed.
int runWithoutPrivileges(int (*work)(void*), void* context);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

// Limits the size of files this process writes, as a full disk would, for as long as it
// lives; the signal such a write raises is ignored, so the write fails with an error.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit previous_{};
    sighandler_t previousHandler_;
};

// What a program run by a test printed and how it ended.
struct ProgramResult {
    int status = -1;  // the exit status; -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs `program` with `arguments` (shell words) in `folder`, without input.
ProgramResult runProgram(const std::string& folder, const std::string& program,
                         const std::string& arguments);
