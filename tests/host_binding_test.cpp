#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <cstring>
#include <memory>

#include "host/host_api.h"
#include "host/module_lookup.h"
#include "tests/in_process_host.h"

namespace {

using glomera::host::bindHostApi;
using glomera::host::HostApi;
using glomera::host::hostApi;
using glomera::host::HostFunction;
using glomera::host::kHostEntryCount;
using glomera::host::kHostEntryNames;
using glomera::host::kUsedHostEntries;

void marker() {}
const HostFunction kMarker = &marker;

int countBound() {
    int bound = 0;
    for (HostFunction entry : hostApi().entries) bound += entry != nullptr;
    return bound;
}

TEST(HostEntryNames, ListHas150DistinctHostNames) {
    ASSERT_EQ(kHostEntryCount, 150);
    for (int i = 0; i < kHostEntryCount; ++i) {
        EXPECT_EQ(std::strncmp(kHostEntryNames[i], "zt", 2), 0) << kHostEntryNames[i];
        for (int j = i + 1; j < kHostEntryCount; ++j) {
            EXPECT_STRNE(kHostEntryNames[i], kHostEntryNames[j]);
        }
    }
}

TEST(HostBinding, BindsEveryUsedEntryOfHelmoraZT) {
    InProcessHost host("zt");
    ASSERT_TRUE(host.loaded());
    ASSERT_TRUE(bindHostApi());
    for (auto entry : kUsedHostEntries) {
        EXPECT_NE(hostApi().entries[entry], nullptr) << kHostEntryNames[entry];
    }
    // The test host exports the fifteen used entries and nothing more.
    EXPECT_EQ(countBound(), 15);
}

TEST(HostBinding, FindsHelmoraWhenOnlyThatNameIsLoaded) {
    InProcessHost host("plain");
    ASSERT_TRUE(host.loaded());
    EXPECT_TRUE(bindHostApi());
    EXPECT_EQ(countBound(), 15);
}

TEST(HostBinding, PrefersHelmoraZTWhenBothAreLoaded) {
    InProcessHost plain("plain");
    // Loaded second, found first.
    void* zt = dlopen(TEST_HOSTS_DIR "/zt/HelmoraZT.exe", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(zt, nullptr);
    ASSERT_TRUE(bindHostApi());
    EXPECT_EQ(reinterpret_cast<void*>(hostApi().entries[glomera::host::kLogText]),
              dlsym(zt, "ztLogText"));
    clearHostTable();
    dlclose(zt);
}

TEST(HostBinding, NoHostLeavesTheTableAsItWas) {
    clearHostTable();
    hostApi().entries[7] = kMarker;
    EXPECT_FALSE(bindHostApi());
    EXPECT_EQ(hostApi().entries[7], kMarker);
    EXPECT_EQ(countBound(), 1);
    clearHostTable();
}

TEST(HostBinding, VersionOnlyHostBindsWithEverythingElseNull) {
    InProcessHost host("version-only");
    ASSERT_TRUE(host.loaded());
    hostApi().entries[5] = kMarker;
    EXPECT_TRUE(bindHostApi());
    EXPECT_NE(hostApi().entries[0], nullptr);
    EXPECT_EQ(countBound(), 1);
}

TEST(HostBinding, MissingVersionEntryFailsAndKeepsTheRest) {
    InProcessHost host("no-version");
    ASSERT_TRUE(host.loaded());
    hostApi().entries[0] = kMarker;
    hostApi().entries[5] = kMarker;
    EXPECT_FALSE(bindHostApi());
    EXPECT_EQ(hostApi().entries[0], nullptr);
    EXPECT_EQ(hostApi().entries[5], kMarker);
}

TEST(HostBinding, BindingTwiceGivesTheSameTable) {
    InProcessHost host("zt");
    ASSERT_TRUE(bindHostApi());
    const HostApi first = hostApi();
    ASSERT_TRUE(bindHostApi());
    EXPECT_EQ(std::memcmp(&first, &hostApi(), sizeof first), 0);
}

int countLoadedObjects() {
    int count = 0;
    dl_iterate_phdr([](dl_phdr_info*, size_t, void* n) { return ++*static_cast<int*>(n), 0; },
                    &count);
    return count;
}

TEST(ModuleLookup, FindsLoadedModulesOnlyAndLoadsNothing) {
    const int before = countLoadedObjects();
    EXPECT_EQ(glomera::platform::GetModuleHandleA("HelmoraZT.exe"), nullptr);
    EXPECT_EQ(glomera::platform::GetModuleHandleA(""), nullptr);
    EXPECT_EQ(countLoadedObjects(), before);

    InProcessHost host("zt");
    void* module = glomera::platform::GetModuleHandleA("HelmoraZT.exe");
    ASSERT_NE(module, nullptr);
    EXPECT_NE(glomera::platform::GetProcAddress(module, "ztLogText"), nullptr);
    EXPECT_EQ(glomera::platform::GetProcAddress(module, "ztNoSuchEntry"), nullptr);
    glomera::platform::releaseModuleHandle(module);
    // A path component is not a file name.
    EXPECT_EQ(glomera::platform::GetModuleHandleA("zt/HelmoraZT.exe"), nullptr);
}

// The plug-in finds its host by file name among the loaded objects, so a test host that
// stayed loaded after its test would be found by every later test of the process in place
// of its own host (as the standard library's unique symbols once made them stay).
TEST(ModuleLookup, AnUnloadedTestHostIsGone) {
    const int before = countLoadedObjects();
    for (const char* folder : {"zt", "without-ztShowLogTab", "plain"}) {
        {
            InProcessHost host(folder);
            ASSERT_TRUE(host.loaded()) << folder;
            // The host, and the libraries it needs that the test did not load already.
            EXPECT_GT(countLoadedObjects(), before) << folder;
        }
        EXPECT_EQ(countLoadedObjects(), before) << folder << " stayed loaded";
        EXPECT_EQ(glomera::platform::GetModuleHandleA("HelmoraZT.exe"), nullptr) << folder;
    }
}

}  // namespace
