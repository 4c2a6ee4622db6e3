// Port settings in the registry and the settings dialog's choices.
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "comkit32.h"
#include "platform/registry.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace {

using ksw::platform::RegistryRoot;

constexpr const char *kKey = "Software\\Orvane\\KSW\\Jig\\COMPORT";

RSPortSettings record(const char *port, int32_t baud, uint8_t bits, uint8_t stop, uint8_t parity) {
    RSPortSettings s{};
    std::snprintf(s.port, sizeof s.port, "%s", port);
    s.baud_rate = baud;
    s.byte_size = bits;
    s.stop_bits = stop;
    s.parity = parity;
    return s;
}

void expect_same(const RSPortSettings &a, const RSPortSettings &b) {
    EXPECT_STREQ(a.port, b.port);
    EXPECT_EQ(a.baud_rate, b.baud_rate);
    EXPECT_EQ(a.byte_size, b.byte_size);
    EXPECT_EQ(a.stop_bits, b.stop_bits);
    EXPECT_EQ(a.parity, b.parity);
}

const RSPortSettings kDefaults = record("COM1", 9600, 8, 0, 0);

class RegistrySettings : public ::testing::Test {
protected:
    ksw::testing::TempDir dir;
    ksw::testing::ScopedEnv env{"XDG_CONFIG_HOME", dir.path()};

    // Loads into a record full of junk, so defaults must really be written.
    int load(RSPortSettings *out) {
        *out = record("JUNK9", 1, 1, 9, 9);
        return RSRegLoadComInfo(out, kKey);
    }
};

TEST_F(RegistrySettings, SavedSettingsLoadBack) {
    const RSPortSettings saved = record("COM3", 19200, 7, 2, 3);
    ASSERT_EQ(RSRegSaveComInfo(&saved, kKey), 1);
    EXPECT_EQ(ksw::platform::registry_read_string(RegistryRoot::Users, kKey, "Port"), "COM3");
    EXPECT_EQ(ksw::platform::registry_read_dword(RegistryRoot::Users, kKey, "BaudRate"), 19200u);
    RSPortSettings loaded;
    EXPECT_EQ(load(&loaded), 1);
    expect_same(loaded, saved);
}

TEST_F(RegistrySettings, A38400BaudRateLoadsAsTheDefaults) {
    const RSPortSettings saved = record("COM2", 38400, 7, 1, 1);
    ASSERT_EQ(RSRegSaveComInfo(&saved, kKey), 1);
    RSPortSettings loaded;
    EXPECT_EQ(load(&loaded), 0);
    expect_same(loaded, kDefaults);
}

TEST_F(RegistrySettings, EveryInvalidValueGivesTheDefaults) {
    struct Case {
        const char *what;
        RSPortSettings saved;
    };
    const Case cases[] = {
        {"port name of six characters", record("COM123", 9600, 8, 0, 0)},
        {"port digit 5", record("COM5", 9600, 8, 0, 0)},
        {"port digit 0", record("COM0", 9600, 8, 0, 0)},
        {"port name too short for a digit", record("CO", 9600, 8, 0, 0)},
        {"empty port name", record("", 9600, 8, 0, 0)},
        {"baud 110", record("COM1", 110, 8, 0, 0)},
        {"baud 57600", record("COM1", 57600, 8, 0, 0)},
        {"6 data bits", record("COM1", 9600, 6, 0, 0)},
        {"stop code 3", record("COM1", 9600, 8, 3, 0)},
        {"parity 4", record("COM1", 9600, 8, 0, 4)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(RSRegSaveComInfo(&c.saved, kKey), 1);
        RSPortSettings loaded;
        EXPECT_EQ(load(&loaded), 0);
        expect_same(loaded, kDefaults);
    }
    // The edges that pass: digits 1 and 4 (the check reads the fourth character only), each
    // accepted rate, mark parity.
    for (const RSPortSettings &good : {record("COM4", 1200, 7, 2, 3), record("COM1", 2400, 8, 1, 0),
                                       record("XYZ1", 4800, 8, 0, 0), record("COM10", 19200, 8, 0, 2)}) {
        SCOPED_TRACE(good.port);
        ASSERT_EQ(RSRegSaveComInfo(&good, kKey), 1);
        RSPortSettings loaded;
        EXPECT_EQ(load(&loaded), 1);
        expect_same(loaded, good);
    }
}

TEST_F(RegistrySettings, MissingOrMistypedValuesGiveTheDefaults) {
    RSPortSettings loaded;
    EXPECT_EQ(load(&loaded), 0) << "no key";
    expect_same(loaded, kDefaults);

    const RSPortSettings saved = record("COM2", 4800, 7, 0, 1);
    ASSERT_EQ(RSRegSaveComInfo(&saved, kKey), 1);
    // A number where text belongs, text where a number belongs.
    ASSERT_TRUE(ksw::platform::registry_write_string(RegistryRoot::Users, kKey, "BaudRate", "4800"));
    EXPECT_EQ(load(&loaded), 0);
    expect_same(loaded, kDefaults);
    ASSERT_EQ(RSRegSaveComInfo(&saved, kKey), 1);
    ASSERT_TRUE(ksw::platform::registry_write_dword(RegistryRoot::Users, kKey, "Port", 1));
    EXPECT_EQ(load(&loaded), 0);
    // The same values under another root or key are not these settings.
    ASSERT_EQ(RSRegSaveComInfo(&saved, kKey), 1);
    EXPECT_EQ(RSRegLoadComInfo(&loaded, "Software\\Other"), 0);
    EXPECT_EQ(RSRegLoadComInfo(&loaded, nullptr), 0);
    expect_same(loaded, kDefaults);
    EXPECT_EQ(RSRegLoadComInfo(nullptr, kKey), 0);
}

TEST_F(RegistrySettings, SavingReportsAnUnwritableRegistry) {
    const RSPortSettings saved = record("COM2", 4800, 7, 0, 1);
    EXPECT_EQ(RSRegSaveComInfo(&saved, ""), 0);
    EXPECT_EQ(RSRegSaveComInfo(&saved, nullptr), 0);
    EXPECT_EQ(RSRegSaveComInfo(nullptr, kKey), 0);
    // The configuration folder is a file: nothing can be created below it.
    ksw::testing::write_text(dir.file("blocked"), "x");
    ksw::testing::ScopedEnv blocked("XDG_CONFIG_HOME", dir.file("blocked"));
    EXPECT_EQ(RSRegSaveComInfo(&saved, kKey), 0);
}

TEST_F(RegistrySettings, AFifoInPlaceOfTheRegistryIsNotWaitedFor) {
    std::filesystem::create_directories(dir.path() + "/Orvane/KSW");
    ASSERT_EQ(mkfifo((dir.path() + "/Orvane/KSW/registry.ini").c_str(), 0600), 0);
    const RSPortSettings saved = record("COM2", 4800, 7, 0, 1);
    EXPECT_EQ(RSRegSaveComInfo(&saved, kKey), 0);
    RSPortSettings loaded;
    EXPECT_EQ(load(&loaded), 0);
    expect_same(loaded, kDefaults);
}

// ---- the dialog's choices ----

RSDialogState shown_for(const RSPortSettings &s) {
    RSDialogState state{};
    RSDialogFromRecord(&s, &state);
    return state;
}

void expect_choices(const RSDialogState &state, int port, int bits, int stop, int parity, const char *baud) {
    EXPECT_EQ(state.port, port);
    EXPECT_EQ(state.byte_size, bits);
    EXPECT_EQ(state.stop_bits, stop);
    EXPECT_EQ(state.parity, parity);
    EXPECT_STREQ(state.baud_text, baud);
}

TEST(SettingsDialog, OutOfRangeRecordValuesShowTheFirstChoice) {
    expect_choices(shown_for(record("COM7", 31250, 5, 4, 3)), 1, 7, 0, 0, "31250");
    expect_choices(shown_for(record("COM4", 2400, 8, 2, 2)), 4, 8, 2, 2, "2400");
    expect_choices(shown_for(record("/dev/ttyUSB0", 9600, 6, 1, 1)), 1, 7, 1, 1, "9600");
    expect_choices(shown_for(record("COM", -5, 7, 0, 0)), 1, 7, 0, 0, "-5");
}

TEST(SettingsDialog, OkWritesTheChoicesAndOriginalResetsThem) {
    RSDialogState state{};
    const RSPortSettings start = record("COM2", 1200, 7, 1, 1);
    RSDialogFromRecord(&start, &state);
    state.port = 3;
    std::snprintf(state.baud_text, sizeof state.baud_text, "%s", "38400");
    RSPortSettings out = record("/dev/a/very/long/device/name/that/is/replaced", 1, 1, 1, 1);
    RSDialogToRecord(&state, &out);
    expect_same(out, record("COM3", 38400, 7, 1, 1));

    RSDialogOriginal(&state);
    EXPECT_EQ(state.port, 3);
    RSDialogToRecord(&state, &out);
    expect_same(out, record("COM3", 9600, 8, 0, 0));

    // A list text without a number keeps the rate instead of writing 0.
    state.baud_text[0] = '\0';
    RSDialogToRecord(&state, &out);
    EXPECT_EQ(out.baud_rate, 9600);
}

TEST(SettingsDialog, BaudListEndsWithAZero) {
    const int expected[] = {110, 300, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200};
    int i = 0;
    for (; RSDialogBaudRate(i) != 0; ++i) EXPECT_EQ(RSDialogBaudRate(i), expected[i]);
    EXPECT_EQ(i, 11);
    EXPECT_EQ(RSDialogBaudRate(-1), 0);
}

int choose_com2_at_4800(void *owner, RSDialogState *state) {
    *static_cast<int *>(owner) += 1;
    state->port = 2;
    std::snprintf(state->baud_text, sizeof state->baud_text, "4800");
    return 1;
}

int cancel(void *, RSDialogState *state) {
    state->port = 4;
    return 0;
}

TEST(SettingsDialog, TheFrontEndsHandlerDecidesOkOrCancel) {
    RSPortSettings s = record("COM1", 9600, 8, 0, 0);
    RSSetDialogHandler(nullptr);
    EXPECT_EQ(RSSet232CProc(nullptr, &s), 0) << "no front-end: as if cancelled";
    expect_same(s, record("COM1", 9600, 8, 0, 0));

    RSSetDialogHandler(cancel);
    EXPECT_EQ(RSSet232CProc(nullptr, &s), 0);
    expect_same(s, record("COM1", 9600, 8, 0, 0));

    int shown = 0;
    RSSetDialogHandler(choose_com2_at_4800);
    EXPECT_EQ(RSSet232CProc(&shown, &s), 1);
    EXPECT_EQ(shown, 1);
    expect_same(s, record("COM2", 4800, 8, 0, 0));
    EXPECT_EQ(RSSet232CProc(&shown, nullptr), 0);
    RSSetDialogHandler(nullptr);
}

}  // namespace
