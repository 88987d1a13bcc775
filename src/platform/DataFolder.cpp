#include "platform/DataFolder.h"

#include "platform/AutoStart.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#ifndef QM_INSTALL_BINDIR
#define QM_INSTALL_BINDIR "/usr/local/bin"
#endif

namespace qm {

namespace {

namespace fs = std::filesystem;

bool sameFolder(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    if (fs::equivalent(a, b, ec)) {
        return true;
    }
    return fs::weakly_canonical(a, ec).lexically_normal() == fs::weakly_canonical(b, ec).lexically_normal();
}

std::string quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

// Another user who owns the folder, or may write in it, could read the passwords or plant
// settings whose token commands this user would run: refused rather than shared.
std::string sharedFolderError(const std::string& noun, const fs::path& path, const struct stat& st) {
    if (st.st_uid != ::geteuid()) {
        return noun + " " + quoted(path) + " belongs to another user; refused";
    }
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return noun + " " + quoted(path) + " is writable by other users; refused";
    }
    return {};
}

void checkGiven(DataFolder& folder) {
    struct stat st {};
    if (::stat(folder.path.c_str(), &st) != 0) {
        folder.error = "data folder " + quoted(folder.path) + " does not exist";
    } else if (!S_ISDIR(st.st_mode)) {
        folder.error = "data folder " + quoted(folder.path) + " is not a folder";
    } else if (::access(folder.path.c_str(), W_OK | X_OK) != 0) {
        folder.error = "data folder " + quoted(folder.path) + " is not writable";
    } else {
        folder.error = sharedFolderError("data folder", folder.path, st);
    }
}

// The program's own folder was found, not named: only whom it belongs to is checked.
void checkBesideProgram(DataFolder& folder) {
    struct stat st {};
    if (::stat(folder.path.c_str(), &st) == 0) {
        folder.error = sharedFolderError("data folder", folder.path, st);
    }
}

void prepareConfigFolder(DataFolder& folder, bool create) {
    struct stat st {};
    if (::lstat(folder.path.c_str(), &st) != 0) {
        if (errno != ENOENT) {
            folder.error = "cannot use config folder " + quoted(folder.path) + ": " + std::strerror(errno);
            return;
        }
        if (!create) {
            return;
        }
        std::error_code ec;
        fs::create_directories(folder.path.parent_path(), ec);
        if (::mkdir(folder.path.c_str(), 0700) != 0 && errno != EEXIST) {
            folder.error = "cannot create config folder " + quoted(folder.path) + ": " + std::strerror(errno);
            return;
        }
        // The umask may have taken bits away, never added any; settings hold passwords, so 0700 exactly.
        ::chmod(folder.path.c_str(), 0700);
        if (::lstat(folder.path.c_str(), &st) != 0) {
            folder.error = "cannot create config folder " + quoted(folder.path) + ": " + std::strerror(errno);
            return;
        }
    }
    if (!S_ISDIR(st.st_mode)) {
        folder.error = "config folder " + quoted(folder.path) + " is not a folder";
        return;
    }
    folder.error = sharedFolderError("config folder", folder.path, st);
    if (folder.usable() && create && ::access(folder.path.c_str(), W_OK | X_OK) != 0) {
        folder.error = "config folder " + quoted(folder.path) + " is not writable";
    }
}

} // namespace

fs::path InstalledBinDir() {
    return fs::path(QM_INSTALL_BINDIR);
}

DataFolder ChooseDataFolder(const fs::path& executable, const std::optional<fs::path>& given,
                            const fs::path& installBinDir, const EnvLookup& env) {
    DataFolder folder;
    if (given) {
        folder.path = *given;
        folder.reason = DataFolderReason::Given;
        return folder;
    }
    folder.path = executable.parent_path();
    folder.reason = DataFolderReason::BesideProgram;
    std::error_code ec;
    const bool installed = !installBinDir.empty() && sameFolder(folder.path, installBinDir) &&
                           !fs::exists(folder.path / kSettingsFileName, ec);
    if (!installed) {
        return folder;
    }
    folder.reason = DataFolderReason::Installed;
    const fs::path config = ConfigHome(env);
    if (config.empty()) {
        folder.path.clear();
        folder.error = "no home folder to keep the settings in";
        return folder;
    }
    folder.path = config / "quillmere";
    return folder;
}

void PrepareDataFolder(DataFolder& folder, bool create) {
    if (!folder.usable()) {
        return;
    }
    if (folder.reason == DataFolderReason::Installed) {
        prepareConfigFolder(folder, create);
    } else if (folder.reason == DataFolderReason::Given) {
        checkGiven(folder);
    } else {
        checkBesideProgram(folder);
    }
}

std::string DataFolderExplanation(const DataFolder& folder) {
    switch (folder.reason) {
    case DataFolderReason::Given:
        return "Data folder " + quoted(folder.path) + ", as --dir says.";
    case DataFolderReason::Installed:
        return "Data folder " + quoted(folder.path) + ": the program is installed and no quillmere.ini lies beside it.";
    case DataFolderReason::BesideProgram:
        break;
    }
    return "Data folder " + quoted(folder.path) + ": the program's own folder.";
}

DirOption TakeDirOption(std::vector<std::string>& args) {
    DirOption option;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string value;
        if (arg == "--dir") {
            if (i + 1 < args.size()) {
                value = args[++i];
            }
        } else if (arg.rfind("--dir=", 0) == 0) {
            value = arg.substr(6);
        } else {
            rest.push_back(arg);
            continue;
        }
        if (value.empty()) {
            option.error = "--dir needs a folder";
            continue;
        }
        if (option.dir && option.error.empty()) {
            option.error = "--dir given twice";
        }
        option.dir = fs::path(value);
    }
    args = std::move(rest);
    return option;
}

} // namespace qm
