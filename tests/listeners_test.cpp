#include "intake/command_datagram.h"
#include "intake/listener_sockets.h"
#include "intake/multicast_listeners.h"
#include "intake/network_watch.h"
#include "phones/command_worker.h"
#include "services/event_log.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>

namespace {

TEST(UsableAdapterAddress, NeedsARealDottedQuad)
{
    for (const char* address : {"1.2.3.4", "198.18.0.1", "255.255.255.255"})
        EXPECT_TRUE(isUsableAdapterAddress(address)) << address;
    for (const char* address : {"0.0.0.0", "", "1.2.3.", "1.2.3"})
        EXPECT_FALSE(isUsableAdapterAddress(address)) << address;
}

// Adapters as "name#index=address".
std::vector<Adapter> adapters(std::initializer_list<const char*> texts)
{
    std::vector<Adapter> list;
    for (std::string_view text : texts) {
        const auto hash = text.find('#'), equals = text.find('=');
        list.push_back({std::string(text.substr(0, hash)), std::string(text.substr(equals + 1)),
                        static_cast<unsigned>(std::stoul(std::string(text.substr(hash + 1, equals - hash - 1)))), ""});
    }
    return list;
}

TEST(PlanListenerChanges, KeepsWhatMatchesClosesWhatChangedOpensWhatIsNew)
{
    struct Case {
        const char* what;
        std::vector<Adapter> listening, now;
        std::vector<std::size_t> close;
        std::vector<Adapter> open;
    };
    const Case cases[] = {
        {"start-up", {}, adapters({"eth0#2=10.0.0.5", "wlan0#3=0.0.0.0", "eth1#4=198.18.0.1"}), {},
         adapters({"eth0#2=10.0.0.5", "eth1#4=198.18.0.1"})},
        {"nothing changed", adapters({"eth0#2=10.0.0.5"}), adapters({"eth0#2=10.0.0.5"}), {}, {}},
        {"new adapter", adapters({"eth0#2=10.0.0.5"}), adapters({"eth0#2=10.0.0.5", "vpn#9=172.16.0.2"}), {},
         adapters({"vpn#9=172.16.0.2"})},
        {"Wi-Fi got its address", adapters({"eth0#2=10.0.0.5"}),
         adapters({"eth0#2=10.0.0.5", "wlan0#3=192.168.1.20"}), {}, adapters({"wlan0#3=192.168.1.20"})},
        {"new address", adapters({"eth0#2=10.0.0.5", "eth1#4=198.18.0.1"}),
         adapters({"eth0#2=10.0.0.7", "eth1#4=198.18.0.1"}), {0}, adapters({"eth0#2=10.0.0.7"})},
        {"address lost", adapters({"eth0#2=10.0.0.5"}), adapters({"eth0#2=0.0.0.0"}), {0}, {}},
        {"adapter gone", adapters({"eth0#2=10.0.0.5", "eth1#4=198.18.0.1", "eth2#5=198.18.1.1"}),
         adapters({"eth0#2=10.0.0.5", "eth2#5=198.18.1.1"}), {1}, {}},
        {"adapter made anew", adapters({"veth0#7=198.18.0.1"}), adapters({"veth0#8=198.18.0.1"}), {0},
         adapters({"veth0#8=198.18.0.1"})},
        {"address moved", adapters({"eth0#2=10.0.0.5"}), adapters({"eth0#2=0.0.0.0", "eth1#4=10.0.0.5"}), {0},
         adapters({"eth1#4=10.0.0.5"})},
        {"listed twice", {}, adapters({"eth0#2=10.0.0.5", "eth0#2=10.0.0.5"}), {}, adapters({"eth0#2=10.0.0.5"})},
        {"no network", adapters({"eth0#2=10.0.0.5", "eth1#4=198.18.0.1"}), {}, {0, 1}, {}},
    };
    for (const Case& c : cases) {
        const ListenerChanges changes = planListenerChanges(c.listening, c.now);
        EXPECT_EQ(changes.close, c.close) << c.what;
        ASSERT_EQ(changes.open.size(), c.open.size()) << c.what;
        for (std::size_t i = 0; i < c.open.size(); ++i) {
            EXPECT_EQ(changes.open[i].name, c.open[i].name) << c.what;
            EXPECT_EQ(changes.open[i].address, c.open[i].address) << c.what;
            EXPECT_EQ(changes.open[i].index, c.open[i].index) << c.what;
        }
    }
}

TEST(FollowAdapters, AListThatCannotBeHadKeepsEveryListener)
{
    // Socketless entries: only the table is at stake here.
    listenerTable = {{adapters({"eth0#2=10.0.0.5"})[0], nullptr}, {adapters({"eth1#4=198.18.0.1"})[0], nullptr}};
    resetLog();
    EXPECT_FALSE(followAdapters(std::nullopt));
    EXPECT_EQ(listenerTable.size(), 2u);
    EXPECT_FALSE(openListeners(std::nullopt));
    EXPECT_TRUE(readLogMessages().empty());
    listenerTable.clear();
}

TEST(SettledAt, AQuietMomentAfterTheLastChangeButNoLaterThanTheLimit)
{
    const NetworkClock::time_point first{};
    const auto ms = [&](int n) { return first + std::chrono::milliseconds(n); };
    const struct {
        int last, settled;
    } cases[] = {{0, 200}, {150, 350}, {1800, 2000}, {1950, 2000}, {60000, 2000}};
    for (const auto& c : cases)
        EXPECT_EQ(settledAt(first, ms(c.last)), ms(c.settled)) << "last change at " << c.last << " ms";
}

TEST(PrintSetupError, NamesStepCodeAndAddressOnALineOfItsOwn)
{
    testing::internal::CaptureStdout();
    printSetupError("Bind error", 10048, "198.18.0.1");
    printSetupError("Add membership error", -1, "10.0.0.2");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Bind error (10048) on 198.18.0.1\nAdd membership error (-1) on 10.0.0.2\n");
}

TEST(CommandWorker, CarriesOutCommandsInTheirOrderAndDropsThoseBeyondTheLimit)
{
    ASSERT_TRUE(startCommandWorker(nullptr));
    std::promise<void> running, release, lastDone;
    std::shared_future<void> released = release.get_future().share();
    std::vector<int> order, expected;
    const auto noting = [&](int i) -> Command {
        return [&, i] {
            order.push_back(i);
            if (i == 999)
                lastDone.set_value();
            return std::vector<Verdict>();
        };
    };
    ASSERT_TRUE(queueCommand([&] {
        running.set_value();
        released.wait();
        return std::vector<Verdict>();
    }));
    running.get_future().wait();
    // Half of them stamped as queued, as datagrams and menu lines are.
    std::vector<std::uint64_t> stamps;
    for (int i = 0; i < 64; ++i) {
        expected.push_back(i);
        EXPECT_TRUE(i % 2 ? queueCommand(noting(i)) : queueStampedCommand([&, i](std::uint64_t stamp) {
            stamps.push_back(stamp);
            return noting(i)();
        }));
    }
    EXPECT_FALSE(queueCommand(noting(64))) << "one more than the queue holds";
    // Commands for later join the others as they fall due; a cancelled one never runs.
    const CommandClock::time_point now = CommandClock::now();
    queueCommandAt(now + std::chrono::milliseconds(300), "last", noting(999));
    queueCommandAt(now + std::chrono::milliseconds(200), "cancelled", noting(500));
    queueCommandAt(now + std::chrono::milliseconds(100), "first", noting(100));
    cancelCommands("cancelled");
    expected.insert(expected.end(), {100, 999});
    release.set_value();
    ASSERT_EQ(lastDone.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(order, expected);
    EXPECT_TRUE(stamps.size() == 32 && std::is_sorted(stamps.begin(), stamps.end()));
}

TEST(EncodeCommandDatagram, IsWhatTheDecoderReads)
{
    const std::string start = encodeCommandDatagram("start", "5555");
    EXPECT_EQ(start, "VQMstart          5555           ");
    const CommandDatagram decoded = decodeCommandDatagram(start.data(), start.size(), "10.0.0.2");
    EXPECT_TRUE(isCommand(decoded));
    EXPECT_EQ(decoded.command, "start");
    EXPECT_EQ(decoded.port, "5555");

    const std::string stop = encodeCommandDatagram("stop", "");
    EXPECT_EQ(stop.size(), 33u);
    EXPECT_EQ(decodeCommandDatagram(stop.data(), stop.size(), "").command, "stop");
}

}  // namespace
