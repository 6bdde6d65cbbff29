#pragma once
// A TCP relay on 127.0.0.1 in front of a loopback server, on a thread of its own, that can break
// the link the way networks do: drop a request and reset the client in the middle of a
// conversation, or reset an idle link. With no upstream port it is a mute server: it accepts,
// reads and never answers.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class LoopbackRelay {
public:
    // upstreamPort 0: a mute server.
    explicit LoopbackRelay(int upstreamPort);
    ~LoopbackRelay();
    LoopbackRelay(const LoopbackRelay&) = delete;
    LoopbackRelay& operator=(const LoopbackRelay&) = delete;

    int port() const { return port_; }

    // Counts the client's turns from now on: a turn begins with the client's first bytes after
    // the server has spoken. At turn n (1 for the next request) the request is dropped and both
    // sides are reset; later connections are relayed untouched.
    void cutAtTurn(int n);
    // Resets every link now, as a firewall that forgets an idle connection does.
    void resetAll();
    int turns() const { return turns_; }

private:
    struct Link {
        int client = -1;
        int server = -1;
        bool serverSpokeLast = true;
    };
    void run();
    void accept();
    // Relays what is waiting on one side; false when the link is over.
    bool relay(Link& link, bool fromClient);
    void reset(Link& link);
    void wake();

    int listener_ = -1;
    int wakeRead_ = -1, wakeWrite_ = -1;
    int port_ = 0;
    int upstreamPort_;
    std::atomic<bool> stop_{false};
    std::atomic<int> turns_{0};
    std::atomic<int> cutAt_{0};
    std::atomic<bool> resetRequested_{false};
    std::mutex mutex_;
    std::vector<Link> links_;
    std::thread thread_;
};

// Runs work on a thread of its own and waits for it at most the given seconds; work still blocked
// on the relay then is set free by resetting its links. True when the work ended in time.
bool endsWithin(int seconds, LoopbackRelay& relay, const std::function<void()>& work);
