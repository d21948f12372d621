// Writes the stand-in loader images into a directory: one file per machine,
// of the machine's loader length, beginning with AA 55 AA 55 like the maker's
// loaders, followed by pseudo-random bytes. The output depends on nothing but
// this program, so running it again reproduces the committed files exactly.
//
// usage: make-standin-loaders <directory>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

struct StandIn {
  const char* file;
  uint32_t length;
};

const StandIn kStandIns[] = {
    {"vk7300_boot.bin", 60484},
    {"vk7301_generic_boot.bin", 93570},
    {"vk7301_7331_boot.bin", 121362},
    {"vk7301_dvbs_8801_boot.bin", 93618},
    {"vk7301_dvbs_8802_boot.bin", 93710},
    {"vk7301_dvbs_8805_boot.bin", 93590},
    {"vk7301_dvbc_7301_boot.bin", 93550},
    {"vk7301_dvbt2_7301_boot.bin", 93558},
    {"vk7301_dvbc_7301e_boot.bin", 93518},
};

// FNV-1a of the file name: a different, fixed seed per image.
uint64_t Seed(const char* text) {
  uint64_t hash = 14695981039346656037ull;
  for (; *text != '\0'; ++text)
    hash = (hash ^ static_cast<unsigned char>(*text)) * 1099511628211ull;
  return hash;
}

// splitmix64: small, well mixed, and the same on every platform.
uint64_t Next(uint64_t* state) {
  uint64_t z = (*state += 0x9e3779b97f4a7c15ull);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  for (const StandIn& stand_in : kStandIns) {
    std::string bytes = {'\xAA', '\x55', '\xAA', '\x55'};
    uint64_t state = Seed(stand_in.file);
    while (bytes.size() < stand_in.length) {
      uint64_t value = Next(&state);
      for (int i = 0; i < 8 && bytes.size() < stand_in.length; ++i, value >>= 8) {
        bytes.push_back(static_cast<char>(value & 0xFF));
      }
    }
    std::string path = std::string(argv[1]) + "/" + stand_in.file;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
      std::perror(path.c_str());
      return 1;
    }
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) {
      std::fprintf(stderr, "%s: write failed\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
