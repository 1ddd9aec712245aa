#include "RawImageFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace hc12::cli {

namespace fs = std::filesystem;

namespace {

std::string Reason() {
    return std::strerror(errno);
}

// Push the written bytes to the disk before the rename makes them the image.
bool SyncToDisk(std::FILE* file) {
    if (std::fflush(file) != 0)
        return false;
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
#endif
}

}  // namespace

bool ReadRawImage(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
    std::error_code ec;
    if (fs::is_directory(fs::path(path), ec)) {
        *error = "is a directory";
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *error = Reason();
        return false;
    }
    std::vector<uint8_t> data;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        data.insert(data.end(), chunk, chunk + got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        *error = "read error";
        return false;
    }
    *bytes = std::move(data);
    return true;
}

bool SaveRawImage(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
    const fs::path target = fs::path(path);
    std::error_code ec;
    if (fs::is_directory(target, ec)) {
        *error = "is a directory";
        return false;
    }
    std::random_device random;
    std::string tempName;
    std::FILE* file = nullptr;
    for (int attempt = 0; attempt < 16 && !file; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%08x.tmp", unsigned(random()));
        tempName = path + suffix;
        if (fs::exists(fs::path(tempName), ec))
            continue;
        file = std::fopen(tempName.c_str(), "wb");
        if (!file) {
            *error = Reason();
            return false;
        }
    }
    if (!file) {
        *error = "no free temporary name";
        return false;
    }
    const bool written =
        std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && SyncToDisk(file);
    const std::string writeReason = written ? std::string() : Reason();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        *error = written ? "close failed" : writeReason;
        fs::remove(fs::path(tempName), ec);
        return false;
    }
    fs::rename(fs::path(tempName), target, ec);
    if (ec) {
        *error = ec.message();
        fs::remove(fs::path(tempName), ec);
        return false;
    }
    return true;
}

}  // namespace hc12::cli
