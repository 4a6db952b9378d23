// The recovery files: MD5 and GF(2^16) against independent definitions, every vector kernel against the
// portable one, losses from none to one more than the recovery blocks, failures that must leave nothing,
// and round trips with par2 in both directions.

#include "recovery/recovery.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "fileio/error.hpp"
#include "fileio/files.hpp"
#include "recovery/gf16.hpp"
#include "recovery/md5.hpp"
#include "support/SetScene.hpp"

namespace {

using namespace recovery;
using namespace testsupport;
using Bytes = std::vector<std::uint8_t>;

// The product by shifts and adds, reduced bit by bit.
std::uint16_t bitwiseProduct(std::uint16_t a, std::uint16_t b) {
    std::uint32_t product = 0;
    for (int bit = 15; bit >= 0; --bit) {
        product <<= 1;
        if ((product & 0x10000u) != 0) {
            product ^= 0x1100Bu;
        }
        if (((b >> bit) & 1) != 0) {
            product ^= a;
        }
    }
    return static_cast<std::uint16_t>(product);
}

// dst ^= factor * src, word by word.
void bitwiseMultiplyAdd(std::uint16_t factor, const Bytes& src, Bytes& dst) {
    for (std::size_t i = 0; i + 1 < src.size(); i += 2) {
        const auto p = bitwiseProduct(factor, static_cast<std::uint16_t>(src[i] | src[i + 1] << 8));
        dst[i] ^= static_cast<std::uint8_t>(p), dst[i + 1] ^= static_cast<std::uint8_t>(p >> 8);
    }
}

TEST(Md5, RfcVectorsInPiecesAndZeros) {
    const std::pair<std::string, std::string> vectors[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"}};
    for (const auto& [text, digest] : vectors) {
        EXPECT_EQ(hexOf(md5Of(text.data(), text.size())), digest) << text;
        // The same message in pieces of every size, across the 64-byte blocks.
        for (std::size_t piece = 1; piece < 70; piece += 3) {
            Md5 md5;
            for (std::size_t at = 0; at < text.size(); at += piece) {
                md5.update(text.data() + at, std::min(piece, text.size() - at));
            }
            ASSERT_EQ(hexOf(md5.digest()), digest) << text << " in pieces of " << piece;
        }
    }
    // Zeros added without bytes, and a digest taken midway leaves the state as it was.
    const Bytes data = patternBytes(10000, 5);
    Bytes padded = data;
    padded.resize(15000, 0);
    Md5 md5;
    md5.update(data.data(), data.size());
    EXPECT_EQ(md5.digest(), md5Of(data.data(), data.size()));
    md5.updateZeros(5000);
    EXPECT_EQ(md5.digest(), md5Of(padded.data(), padded.size()));

    // Messages hashed side by side (sixteen at once where the CPU can) as each alone: 1, 16 and 17 of them,
    // lengths off the 64-byte blocks, and (among 17) one digest that holds a part of a block already.
    for (const std::size_t count : {1, 16, 17}) {
        for (const std::size_t size : {0, 63, 64, 1000, 4096}) {
            std::vector<Bytes> messages;
            std::vector<Md5> digests(count);
            std::vector<Md5*> pointers;
            std::vector<const std::uint8_t*> data;
            for (std::size_t j = 0; j < count; ++j) {
                messages.push_back(patternBytes(64 + size, static_cast<std::uint32_t>(j + 100)));
                digests[j].update(messages[j].data(), count == 17 && j == 3 ? 1 : 64);
                pointers.push_back(&digests[j]);
                data.push_back(messages[j].data() + 64);
            }
            Md5::updateMany(pointers.data(), data.data(), count, size);
            for (std::size_t j = 0; j < count; ++j) {
                Bytes message = messages[j];
                message.erase(message.begin() + (count == 17 && j == 3 ? 1 : 64), message.begin() + 64);
                ASSERT_EQ(digests[j].digest(), md5Of(message.data(), message.size())) << count << " " << size;
            }
        }
    }
}

TEST(Gf16, ArithmeticAgainstBitwiseProducts) {
    std::mt19937 random(7);
    for (int i = 0; i < 20000; ++i) {
        const auto a = static_cast<std::uint16_t>(i < 256 ? i : random()),
                   b = static_cast<std::uint16_t>(random());
        ASSERT_EQ(gf16::multiply(a, b), bitwiseProduct(a, b)) << a << " " << b;
        if (b != 0) {
            ASSERT_EQ(gf16::multiply(gf16::divide(a, b), b), a) << a << " " << b;
        }
    }
    // 2 generates the whole group: its powers meet 1 again only after 65535 steps.
    std::uint16_t x = 1;
    for (std::uint32_t n = 1; n <= 65535; ++n) {
        x = bitwiseProduct(x, 2);
        ASSERT_EQ(x == 1, n == 65535) << n;
        ASSERT_EQ(gf16::powerOfTwo(n), x) << n;
    }
    EXPECT_EQ(gf16::power(0x1234, 3), bitwiseProduct(0x1234, bitwiseProduct(0x1234, 0x1234)));
    EXPECT_EQ(gf16::power(0, 0), 1);
    EXPECT_THROW(gf16::divide(1, 0), std::domain_error);
}

// Every kernel against the word-by-word product, on lengths around its 64-byte units and at odd addresses.
TEST(Gf16, EveryKernelEqualsTheBitwiseRegionProduct) {
    EXPECT_NE(gf16::activeKernel(), gf16::Kernel::Portable) << "this machine has a vector kernel";
    std::mt19937 random(11);
    for (const auto kernel : {gf16::Kernel::Portable, gf16::Kernel::Avx2, gf16::Kernel::Gfni512}) {
        if (!gf16::kernelSupported(kernel)) {
            continue;
        }
        for (const std::size_t size : {0, 2, 62, 64, 66, 4096, 4098, 9000}) {
            for (const int factor : {0, 1, 2, 0x8000, 0xFFFF, 0x1234}) {
                const std::size_t offset = size % 3;
                const Bytes src = patternBytes(size + offset, static_cast<std::uint32_t>(random()));
                Bytes dst = patternBytes(size + offset, static_cast<std::uint32_t>(random()));
                Bytes expected(dst.begin() + static_cast<std::ptrdiff_t>(offset), dst.end());
                bitwiseMultiplyAdd(static_cast<std::uint16_t>(factor),
                                   Bytes(src.begin() + static_cast<std::ptrdiff_t>(offset), src.end()),
                                   expected);
                gf16::multiplyAdd(kernel, static_cast<std::uint16_t>(factor), src.data() + offset,
                                  dst.data() + offset, size);
                ASSERT_EQ(Bytes(dst.begin() + static_cast<std::ptrdiff_t>(offset), dst.end()), expected)
                    << gf16::kernelName(kernel) << " size " << size << " factor " << factor;
            }
        }
    }
}

// The names in a folder, and a checksum of each file's bytes: what a failed write must not change.
std::map<std::string, std::uint32_t> state(const TempDir& dir) {
    std::map<std::string, std::uint32_t> files;
    for (const auto& [name, entry] : snapshot(dir.path())) {
        files[name] = static_cast<std::uint32_t>(std::hash<std::string>{}(entry));
    }
    return files;
}

// A set of fragments of `size` bytes and a last one of `last`, with recovery files; `kernel` does the work.
struct Scene {
    TempDir dir;
    std::vector<std::string> fragments;
    std::vector<std::string> contents;
    std::string main;
    std::vector<std::string> written;

    Scene(int count, std::size_t size, std::size_t last, int percent) : main(dir.file("Daten.dat.par2")) {
        for (int i = 1; i <= count; ++i) {
            fragments.push_back(dir.file("Daten.dat._00" + std::to_string(i)));
            const auto bytes = patternBytes(i == count ? last : size, static_cast<std::uint32_t>(i));
            contents.emplace_back(bytes.begin(), bytes.end());
            writeFile(fragments.back(), contents.back());
        }
        written = createRecoveryFiles(fragments, percent, main);
    }
    std::string lose(std::size_t i) {
        std::filesystem::remove(pathOf(fragments[i]));
        return fragments[i];
    }
    void damage(const std::string& path, std::size_t at) {
        std::string bytes = readFile(path);
        bytes[at] = static_cast<char>(bytes[at] ^ 0x40);
        writeFile(path, bytes);
    }
    bool whole() const {
        for (std::size_t i = 0; i < fragments.size(); ++i) {
            if (readFile(fragments[i]) != contents[i]) {
                return false;
            }
        }
        return true;
    }
};

// Losses from none to one more than the recovery blocks, damaged fragments and damaged recovery files, on
// every kernel; and the recovery blocks' bytes against the sum of the fragments.
TEST(RecoveryFiles, LossesUpToTheRecoveryBlocks) {
    struct Case {
        const char* what;
        int percent;
        std::vector<std::size_t> lost, damaged;
        std::vector<std::size_t> damagedVolumes;  // indices into the written files
        std::int64_t missing;
        bool repairable;
    };
    const Case cases[] = {
        {"nothing lost", 10, {}, {}, {}, 0, true},
        {"one lost", 10, {3}, {}, {}, 1, true},
        {"the last, shorter one lost", 10, {9}, {}, {}, 1, true},
        {"as many lost and damaged as there are blocks", 30, {0, 9}, {4}, {}, 3, true},
        {"one more than the blocks", 30, {0, 5, 8}, {2}, {}, 4, false},
        {"a damaged recovery file and its main file", 30, {1}, {}, {0, 2}, 1, true},
        {"every recovery file damaged", 10, {1}, {}, {1}, 1, false},
    };
    for (const auto kernel : {gf16::Kernel::Portable, gf16::activeKernel()}) {
        gf16::testing::forceKernel(kernel);
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) + " with " + gf16::kernelName(kernel));
            Scene scene(10, 3000, 1001, c.percent);
            ASSERT_EQ(scene.written.size(), c.percent == 10 ? 2u : 3u);  // 1 or 1 + 2 blocks
            for (const std::size_t v : c.damagedVolumes) {
                scene.damage(scene.written[v], 40);
            }
            for (const std::size_t i : c.lost) {
                scene.lose(i);
            }
            for (const std::size_t i : c.damaged) {
                scene.damage(scene.fragments[i], 2999);
            }
            const Diagnosis diagnosis = diagnose(scene.main);
            EXPECT_EQ(diagnosis.blockSize, 3000);
            EXPECT_EQ(diagnosis.sourceBlocks, 10);
            EXPECT_EQ(diagnosis.missingBlocks, c.missing);
            EXPECT_EQ(diagnosis.repairable(), c.repairable);
            EXPECT_EQ(diagnosis.intact(), c.missing == 0);
            for (std::size_t i = 0; i < diagnosis.files.size(); ++i) {
                const bool lost = std::count(c.lost.begin(), c.lost.end(), i) != 0;
                const bool damaged = std::count(c.damaged.begin(), c.damaged.end(), i) != 0;
                const auto& file = *std::find_if(diagnosis.files.begin(), diagnosis.files.end(),
                                                 [&](const auto& f) { return f.path == scene.fragments[i]; });
                EXPECT_EQ(file.state, lost      ? FileState::Missing
                                      : damaged ? FileState::Damaged
                                                : FileState::Intact)
                    << i;
            }
            const auto before = state(scene.dir);
            if (c.repairable) {
                EXPECT_EQ(repair(diagnosis).size(), c.lost.size() + c.damaged.size());
                EXPECT_TRUE(scene.whole());
                EXPECT_TRUE(diagnose(scene.main).intact());
            } else {
                EXPECT_THROW(repair(diagnosis), RecoveryError);
                EXPECT_EQ(state(scene.dir), before);
            }
        }
    }
    gf16::testing::resetKernel();

    // Exponent 0 is the XOR of the zero-padded fragments; exponent 1 weighs them by 2, 4, 16, 128, ...
    Scene scene(2, 64, 62, 100);
    const std::string first = readFile(scene.written[1]), second = readFile(scene.written[2]);
    const Bytes a(scene.contents[0].begin(), scene.contents[0].end());
    Bytes b(scene.contents[1].begin(), scene.contents[1].end());
    b.resize(64, 0);
    Bytes xorred(64, 0), weighed(64, 0), swapped(64, 0);
    bitwiseMultiplyAdd(1, a, xorred), bitwiseMultiplyAdd(1, b, xorred);
    bitwiseMultiplyAdd(2, a, weighed), bitwiseMultiplyAdd(4, b, weighed);
    bitwiseMultiplyAdd(4, a, swapped), bitwiseMultiplyAdd(2, b, swapped);
    EXPECT_EQ(first.substr(68, 64), std::string(xorred.begin(), xorred.end()));
    const std::string data = second.substr(68, 64);
    EXPECT_TRUE(data == std::string(weighed.begin(), weighed.end()) ||
                data == std::string(swapped.begin(), swapped.end()));
}

// A failed write, a cancel and a failed rename leave the folder as it was, named temporaries included.
TEST(RecoveryFiles, FailuresLeaveNothingBehind) {
    TempDir dir;
    std::vector<std::string> fragments;
    for (int i = 1; i <= 20; ++i) {
        fragments.push_back(dir.file("x._0" + std::to_string(10 + i)));
        writeFile(fragments.back(), patternBytes(70000, static_cast<std::uint32_t>(i)));
    }
    const std::string main = dir.file("x.par2");
    const auto before = state(dir);
    const auto stop = [](std::int64_t done, std::int64_t total) {
        if (done * 2 >= total) {
            throw std::runtime_error("stopped");
        }
    };
    for (const bool named : {false, true}) {
        fileio::testing::forceNamedPendingFiles(named);
        fileio::testing::setWriteFault([](const std::string& path, std::size_t) {
            return path.find("vol01+02") != std::string::npos ? ENOSPC : 0;
        });
        EXPECT_THROW(createRecoveryFiles(fragments, 25, main), fileio::FileError);
        fileio::testing::setWriteFault({});
        EXPECT_THROW(createRecoveryFiles(fragments, 25, main, stop), std::runtime_error);
        fileio::testing::setOperationFault([](std::string_view operation, const std::string& path) {
            return operation == "rename" && path.find("vol01") != std::string::npos ? EIO : 0;
        });
        EXPECT_THROW(createRecoveryFiles(fragments, 25, main), fileio::FileError);
        fileio::testing::setOperationFault({});
        EXPECT_EQ(state(dir), before) << named;
    }
    fileio::testing::forceNamedPendingFiles(false);
    EXPECT_THROW(createRecoveryFiles(fragments, 0, main), std::invalid_argument);
    EXPECT_THROW(createRecoveryFiles({}, 5, main), std::invalid_argument);
    EXPECT_THROW(diagnose(main), RecoveryError);

    // A repair stopped midway, or one whose rename fails, renames nothing.
    ASSERT_EQ(createRecoveryFiles(fragments, 10, main).size(), 3u);
    std::filesystem::remove(pathOf(fragments[7]));
    writeFile(fragments[3], "kaputt");
    const auto damaged = state(dir);
    EXPECT_THROW(repair(diagnose(main), stop), std::runtime_error);
    fileio::testing::setOperationFault(
        [](std::string_view operation, const std::string&) { return operation == "rename" ? EIO : 0; });
    EXPECT_THROW(repair(diagnose(main)), fileio::FileError);
    fileio::testing::setOperationFault({});
    EXPECT_EQ(state(dir), damaged);
    EXPECT_EQ(repair(diagnose(main)).size(), 2u);
    const Bytes fourth = patternBytes(70000, 4);
    EXPECT_EQ(readFile(fragments[3]), std::string(fourth.begin(), fourth.end()));
    EXPECT_TRUE(diagnose(main).intact());
}

#ifndef _WIN32
int run(const std::string& folder, const std::string& command) {
    return std::system(("cd '" + folder + "' && " + command + " >/dev/null 2>&1").c_str());
}

// par2 verifies and repairs our files, and we repair its sets: blocks smaller than the files, several
// per file, a short last one, a tiny file, a damaged, a missing and a longer file.
TEST(RecoveryFiles, Par2ReadsOursAndWeRepairPar2s) {
    if (std::system("par2 --version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "par2 is not installed (scripts/install-deps.sh --with-tests)";
    }
    // Past the 128th file, where the format's constants skip the multiples of 257.
    Scene ours(140, 3000, 123, 2);
    const std::string folder = ours.dir.utf8();
    EXPECT_EQ(run(folder, "par2 verify Daten.dat.par2"), 0);
    ours.lose(4), ours.lose(139);
    EXPECT_EQ(run(folder, "par2 repair Daten.dat.par2"), 0);
    EXPECT_TRUE(ours.whole());

    TempDir theirs;
    const std::vector<std::pair<std::string, std::size_t>> files{
        {"a.bin", 300001}, {"b.bin", 77777}, {"c.bin", 5}, {"d.bin", 65536}};
    for (const auto& [name, size] : files) {
        writeFile(theirs.file(name), patternBytes(size, static_cast<std::uint32_t>(size)));
    }
    ASSERT_EQ(run(theirs.utf8(), "par2 create -s16384 -r30 set.par2 a.bin b.bin c.bin d.bin"), 0);
    const auto whole = state(theirs);
    std::string a = readFile(theirs.file("a.bin"));
    a.replace(100000, 40000, 40000, 'x');
    writeFile(theirs.file("a.bin"), a);
    std::filesystem::remove(theirs.file("b.bin"));
    writeFile(theirs.file("d.bin"), readFile(theirs.file("d.bin")) + "mehr");
    const Diagnosis diagnosis = diagnose(theirs.file("set.par2"));
    EXPECT_EQ(diagnosis.blockSize, 16384);
    EXPECT_EQ(diagnosis.missingBlocks, 3 + 5);
    EXPECT_EQ(repair(diagnosis).size(), 3u);
    EXPECT_EQ(state(theirs), whole);
}
#endif

}  // namespace
