#pragma once

// A flash layout: the partitions of a box's flash as a layout file (.conf)
// describes them, with each partition's image in memory. See
// doc/flash-layout.md for the file format.
//
// The record is created by flash_load_conf (or LoadFlashLayout) and owned by
// its caller, who releases it with flash_free. Loading uses process-wide state
// (the table format in force, the once-per-process key-file message), so
// layouts are loaded by one thread at a time.

#include <cstdint>
#include <memory>

#include "util/status.h"

constexpr int kFlashSlots = 24;            // partitions a record can hold
constexpr uint32_t kAuto = 0xFFFFFFFF;     // "auto" start, size or reserved size
constexpr uint32_t kExtendInfoSize = 272;  // extend-info block at the end of an image
constexpr uint8_t kPartitionVersion = 0x66;

// Partition types as coded in the table.
enum : uint8_t {
  kTypeRaw = 0,
  kTypeRomfs = 1,
  kTypeCramfs = 2,
  kTypeJffs2 = 3,
  kTypeYaffs2 = 4,  // also YAFFS
  kTypeRamfs = 5,
  kTypeHide = 0x7E,
  kTypeMinifs = 0x7F,
};

enum : uint8_t { kModeReadOnly = 0, kModeReadWrite = 1 };

// The partition table format: format 1 at process start, switched by a
// `table_version` line and kept for the rest of the process.
struct table_format {
  int version;             // 1 or 2
  uint32_t magic;          // 0xAABCDEFA or 0xDD1C2BFA
  uint32_t table_size;     // 0x200 or 0x400
  int32_t max_partitions;  // 12 or 24
};
extern table_format table_sect;

struct partition_entry {
  char name[8];            // up to 7 characters and a NUL
  uint32_t total_size;     // extent in flash: up to the next start (or the flash end)
  uint32_t part_size;      // total size minus reserved size: the room for the file
  uint32_t file_size;      // size of the partition's file, 0 without one
  uint32_t reserved_size;  // room kept free at the end
  uint32_t start;          // start address in flash
  uint8_t type;            // kType*
  uint8_t mode;            // kModeReadOnly or kModeReadWrite
  uint8_t option_flag;
  uint8_t index;  // position after sorting (0 = lowest start address)
  uint8_t update;
  uint32_t crc32;  // never computed: 0
  uint16_t version;
};

struct partition_slot {
  partition_entry* entry;  // into flash::entries
  uint8_t* image;          // part_size bytes (owned), or null: nothing to flash
  int32_t checked;         // 1 once the partition passed the size checks
  char* file_path;         // "<base directory>/<file>" (owned), or null for NULL
};

// A loaded layout. Slots 0..count-1 are used and, once loaded, sorted by start
// address; entries stay in file order.
struct flash {
  partition_slot slots[kFlashSlots];
  int32_t count;
  uint32_t flash_size;
  uint32_t block_size;
  uint32_t table_address;  // start of the partition TABLE
  int32_t table_enable;
  uint32_t magic;  // of the table format in force
  uint8_t count8;
  partition_entry entries[kFlashSlots];
  uint8_t write_protect;
  uint8_t crc32_enable;
  uint8_t partition_version;  // kPartitionVersion once loading is complete
  uint32_t table_crc32;       // never computed: 0
  int32_t zlib_mode;
  int32_t table_version;  // as written in the file
};

// The three operations exported by name from the boot executable.
extern "C" {
// Loads the layout file `conf`. Partition files and the key file are looked
// for in `basedir`, or, when it is null, in the directory of `conf`. Returns
// the record, or null when a MINIFS partition is misaligned (message printed).
// Any other error prints its message and ends the process with status 1.
flash* flash_load_conf(const char* conf, char* basedir);
// Prints the record as a table on standard output.
void flash_printf(flash* layout);
// Releases the record with its images and paths. Returns 0; null is fine.
int flash_free(flash* layout);
}

// flash_load_conf for the tool itself: a failure that ends the run comes back
// as an error carrying the messages to print, after what loading printed on
// the way. *layout receives the record, or null (with Ok) for a misaligned
// MINIFS partition, whose message is already printed.
Status LoadFlashLayout(const char* conf, const char* basedir, flash** layout);

struct FlashDeleter {
  void operator()(flash* layout) const { flash_free(layout); }
};
using FlashPtr = std::unique_ptr<flash, FlashDeleter>;

// Sorts the first count slots by the start address of their entries (stable).
void flash_sort(flash* layout);
// The comparison of flash_sort: the difference of the two start addresses as
// a signed 32-bit number.
int flash_compr(const partition_slot* a, const partition_slot* b);

// Formats a byte count for the table: "%6.2f MB", "%6.2f KB" or "%6d  B".
// `buffer` needs 16 bytes. Returns `buffer`.
char* get_size_str(char* buffer, unsigned n);

// True for the word "true" in any case; false for anything else and for null.
bool str2bool(const char* s);

// Selects a table format (2, or 1 for any other version) as a `table_version`
// line does.
void SelectTableFormat(int version);

// Returns the process-wide state of the loader to its state at process start
// (format 1, key-file message not yet shown). For tests.
void ResetFlashLayoutState();
