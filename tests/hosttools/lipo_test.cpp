// lipo -archs is checked against llvm-lipo on generated headers and on real
// objects from clang, and must refuse what is not a sound Mach-O file.

#include <gtest/gtest.h>

#include "macho_fixture.h"
#include "process_run.h"
#include "temp_folder.h"

namespace hosttools_test {
namespace {

ProcessResult llvmLipoArchs(const std::filesystem::path& file) {
    return runProcess({HOSTTOOLS_TEST_LLVM_LIPO, "-archs", file.string()});
}

/// llvm-lipo ends its list with a space before the newline; we do not.
std::string withoutTrailingSpace(std::string line) {
    if (line.size() >= 2 && line[line.size() - 2] == ' ') line.erase(line.size() - 2, 1);
    return line;
}

void expectSameAsLlvmLipo(const std::filesystem::path& file) {
    const auto reference = llvmLipoArchs(file);
    ASSERT_EQ(reference.status, 0) << reference.err;
    const auto ours = runTool("lipo", {"-archs", file.string()});
    EXPECT_EQ(ours.status, 0) << ours.err;
    EXPECT_EQ(ours.out, withoutTrailingSpace(reference.out));
    EXPECT_EQ(ours.err, "");
}

const std::vector<CpuPair> kCpuPairs = {
    {0x01000007, 3},
    {0x01000007, 8},
    {0x0100000c, 0},
    {0x0100000c, 2},
    {0x0200000c, 1},
    {7, 3},
    {12, 9},
    {12, 11},
    {12, 12},
    {18, 0},
    {0x01000012, 0},
    {12, 16},
    {99, 5},
    {0x0100000c, 99},
    {0x0100000c, 0x80000002}, // capability bits set: still arm64e
    {0xffffffff, 0xffffffff},
};

TEST(Lipo, ThinHeadersInEveryWidthAndByteOrderMatchLlvmLipo) {
    TempFolder folder;
    for (const auto& cpu : kCpuPairs) {
        for (const bool is64Bit : {false, true}) {
            for (const bool bigEndian : {false, true}) {
                SCOPED_TRACE(testing::Message() << cpu.cpuType << "/" << cpu.cpuSubtype << " 64-bit "
                                                << is64Bit << " big-endian " << bigEndian);
                writeFile(folder / "thin", thinHeader(cpu, is64Bit, bigEndian));
                expectSameAsLlvmLipo(folder / "thin");
            }
        }
    }
}

TEST(Lipo, FatAndFat64ListArchitecturesInHeaderOrder) {
    TempFolder folder;
    const std::vector<CpuPair> slices = {{0x01000007, 3}, {0x0100000c, 0}, {99, 5}, {0x0100000c, 2}};
    for (const bool wide : {false, true}) {
        SCOPED_TRACE(wide ? "fat64" : "fat");
        writeFile(folder / "fat", fatFile(slices, wide));
        expectSameAsLlvmLipo(folder / "fat");
        EXPECT_EQ(runTool("lipo", {"-archs", (folder / "fat").string()}).out,
                  "x86_64 arm64 unknown(99,5) arm64e\n");
    }
}

TEST(Lipo, ClangObjectsAndTheirUniversalFileMatchLlvmLipo) {
    TempFolder folder;
    writeFile(folder / "main.c", "int answer(void) { return 42; }\n");
    for (const std::string target : {"arm64", "x86_64"}) {
        const auto object = (folder / (target + ".o")).string();
        const auto compiled = runProcess({HOSTTOOLS_TEST_CLANG, "-target", target + "-apple-macos", "-c",
                                          (folder / "main.c").string(), "-o", object});
        ASSERT_EQ(compiled.status, 0) << compiled.err;
        expectSameAsLlvmLipo(object);
    }
    const auto universal = (folder / "universal.o").string();
    const auto created = runProcess({HOSTTOOLS_TEST_LLVM_LIPO, "-create", (folder / "arm64.o").string(),
                                     (folder / "x86_64.o").string(), "-output", universal});
    ASSERT_EQ(created.status, 0) << created.err;
    expectSameAsLlvmLipo(universal);
}

struct BrokenFile {
    const char* name;
    std::string contents;
};

TEST(Lipo, RefusesFilesThatAreNotSoundMachO) {
    TempFolder folder;
    const std::string fat = fatFile({{0x01000007, 3}}, false);
    const std::vector<BrokenFile> cases = {
        {"empty", ""},
        {"short-magic", "\xcf\xfa"},
        {"unknown-magic", "\x7f"
                          "ELF" +
                              std::string(60, '\0')},
        {"truncated-thin", thinHeader({0x0100000c, 0}, true, false).substr(0, 20)},
        {"truncated-thin32", thinHeader({7, 3}, false, true).substr(0, 24)},
        {"little-endian-fat", "\xbe\xba\xfe\xca" + std::string(60, '\0')},
        {"fat-without-archs", bigEndian32(0xcafebabe) + bigEndian32(0)},
        {"fat-count-past-end", bigEndian32(0xcafebabe) + bigEndian32(1000) + std::string(100, '\0')},
        {"fat-slice-past-end", fat.substr(0, fat.size() - 1)},
        {"fat-truncated-header", bigEndian32(0xcafebabe) + std::string(2, '\0')},
        {"java-class", bigEndian32(0xcafebabe) + bigEndian32(52) + std::string(2000, '\0')},
    };
    for (const auto& broken : cases) {
        SCOPED_TRACE(broken.name);
        const auto file = folder / broken.name;
        writeFile(file, broken.contents);
        EXPECT_NE(llvmLipoArchs(file).status, 0);
        const auto ours = runTool("lipo", {"-archs", file.string()});
        EXPECT_EQ(ours.status, 1);
        EXPECT_EQ(ours.out, "");
        EXPECT_NE(ours.err.find(file.string()), std::string::npos) << ours.err;
    }
}

TEST(Lipo, RefusesMissingFilesAndFolders) {
    TempFolder folder;
    for (const auto& path : {folder / "missing", folder.path()}) {
        const auto ours = runTool("lipo", {"-archs", path.string()});
        EXPECT_EQ(ours.status, 1);
        EXPECT_NE(ours.err.find(path.string()), std::string::npos) << ours.err;
    }
}

} // namespace
} // namespace hosttools_test
