// A backup file (".bkp"): any bytes. Only a file of exactly 1504 bytes is
// taken, byte for byte; anything else is refused with a reason.

#include "fuzz/FuzzSupport.h"
#include "library/core/BackupFile.h"

#include <cstring>

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = fuzz::scratch_file("Tessivar_Backup_01-02-2026.bkp", data, size);
    const BackupFile b = read_backup_file(path);
    fuzz::fuzz_check(b.ok() == (size == kBackupFileSize), "only 1504 bytes are a backup");
    if (b.ok()) {
        fuzz::fuzz_check(std::memcmp(b.image.data(), data, size) == 0, "taken byte for byte");
        for (int s = 0; s < kSlotCount; ++s) {
            (void)title_text(image_title(b.image.data(), s)).size();
            (void)image_parameters(b.image.data(), s).algorithm_x;
        }
    } else {
        fuzz::fuzz_check(!b.reason.empty(), "a refusal says why");
    }
    return 0;
}
