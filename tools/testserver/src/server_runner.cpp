#include "server_runner.h"

#include <chrono>
#include <functional>
#include <stdexcept>

#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>

#include "ws_listener.h"

#ifndef VOBU_TESTSERVER_DATA_DIR
#define VOBU_TESTSERVER_DATA_DIR "tools/testserver/data"
#endif

namespace vobu::testserver {

namespace asio = boost::asio;

namespace {

double parseNumber(const std::string& option, const std::string& text, double low, double high) {
    size_t used = 0;
    double value = 0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text.empty() || !(value >= low && value <= high)) {
        throw std::invalid_argument(option + " needs a number from " + std::to_string(low) + " to " +
                                    std::to_string(high) + ", not \"" + text + "\"");
    }
    return value;
}

// A whole unsigned 64-bit number in decimal.
uint64_t parseSeed(const std::string& option, const std::string& text) {
    const bool digits = !text.empty() && text.size() <= 20 && text.find_first_not_of("0123456789") == std::string::npos;
    if (digits && (text.size() < 20 || text <= "18446744073709551615")) return std::stoull(text);
    throw std::invalid_argument(option + " needs a whole number from 0 to 18446744073709551615, not \"" + text + "\"");
}

// "TITLE|MOTD|URL": one server the directory reply lists besides this one.
ListedServer parseListedServer(const std::string& text) {
    const size_t first = text.find('|');
    const size_t second = first == std::string::npos ? first : text.find('|', first + 1);
    if (second == std::string::npos) throw std::invalid_argument("--list needs TITLE|MOTD|URL, not \"" + text + "\"");
    return ListedServer{text.substr(0, first), text.substr(first + 1, second - first - 1), text.substr(second + 1)};
}

}  // namespace

ServerOptions parseServerOptions(const std::vector<std::string>& args) {
    ServerOptions options;
    options.dataDir = VOBU_TESTSERVER_DATA_DIR;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) {
                throw std::invalid_argument(option + " needs a value");
            }
            return args[++i];
        };
        if (option == "--port") {
            options.port = static_cast<uint16_t>(parseNumber(option, value(), 0, 65535));
        } else if (option == "--host") {
            options.host = value();
        } else if (option == "--tls-cert") {
            options.tlsCert = value();
        } else if (option == "--tls-key") {
            options.tlsKey = value();
        } else if (option == "--world") {
            options.world = value();
            if (options.world != "demo" && options.world != "big") {
                throw std::invalid_argument("--world is demo or big");
            }
        } else if (option == "--bots") {
            options.bots = static_cast<int>(parseNumber(option, value(), 0, kMaxBots));
        } else if (option == "--difficulty") {
            options.difficulty = static_cast<int>(parseNumber(option, value(), 1, 32));
        } else if (option == "--challenge-seed") {
            options.challengeSeed = parseSeed(option, value());
        } else if (option == "--fault") {
            const std::string& name = value();
            if (!knownFaults().count(name)) {
                std::string list;
                for (const auto& known : knownFaults()) {
                    list += " " + known;
                }
                throw std::invalid_argument("unknown fault \"" + name + "\"; known:" + list);
            }
            options.faults.insert(name);
        } else if (option == "--fault-delay-ms") {
            options.faultDelayMs = parseNumber(option, value(), 0, 1e7);
        } else if (option == "--transcript") {
            options.transcript = value();
        } else if (option == "--exit-after-ms") {
            options.exitAfterMs = parseNumber(option, value(), 0, 1e9);
        } else if (option == "--data-dir") {
            options.dataDir = value();
        } else if (option == "--snapshot-ms") {
            options.snapshotMs = parseNumber(option, value(), 5, 10000);
        } else if (option == "--title") {
            options.title = value();
        } else if (option == "--motd") {
            options.motd = value();
        } else if (option == "--list") {
            options.listed.push_back(parseListedServer(value()));
        } else if (option == "--directory-reply") {
            options.directoryReply = parseDirectoryReply(value());
        } else if (option == "--directory-delay-ms") {
            options.directoryDelayMs = parseNumber(option, value(), 0, 1e7);
        } else if (option == "--directory-close-delay-ms") {
            options.directoryCloseDelayMs = parseNumber(option, value(), 0, 1e7);
        } else {
            throw std::invalid_argument("unknown option " + option);
        }
    }
    if (options.tlsCert.empty() != options.tlsKey.empty()) {
        throw std::invalid_argument("--tls-cert and --tls-key go together");
    }
    return options;
}

struct ServerRunner::Impl {
    ServerOptions options;
    asio::io_context io;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::unique_ptr<GameServer> game;
    std::unique_ptr<WsListener> listener;
    asio::steady_timer tickTimer{io};
    asio::steady_timer exitTimer{io};
    std::unique_ptr<asio::signal_set> signalSet;

    double nowMs() const {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }

    void scheduleTick() {
        tickTimer.expires_after(std::chrono::microseconds(static_cast<int64_t>(options.snapshotMs * 1000)));
        tickTimer.async_wait([this](const boost::system::error_code& ec) {
            if (ec) {
                return;
            }
            game->tick();
            scheduleTick();
        });
    }
};

ServerRunner::ServerRunner(ServerOptions options) : impl_(std::make_unique<Impl>()) {
    impl_->options = std::move(options);
    TestWorld world = buildTestWorld(impl_->options.world, impl_->options.dataDir);
    Impl* impl = impl_.get();
    impl_->game = std::make_unique<GameServer>(impl_->options, std::move(world), [impl] { return impl->nowMs(); });
    impl_->listener = std::make_unique<WsListener>(impl_->io, *impl_->game, impl_->options.host, impl_->options.port,
                                                   impl_->options.tlsCert, impl_->options.tlsKey);
}

ServerRunner::~ServerRunner() { impl_->listener.reset(); }

uint16_t ServerRunner::port() const { return impl_->listener->port(); }

std::string ServerRunner::url() const {
    const std::string host = impl_->listener->tls() ? "localhost" : impl_->options.host;
    return std::string(impl_->listener->tls() ? "wss://" : "ws://") + host + ":" + std::to_string(port()) + "/vobu";
}

void ServerRunner::run(bool signals) {
    impl_->listener->start();
    impl_->game->tick();
    impl_->scheduleTick();
    if (impl_->options.exitAfterMs > 0) {
        impl_->exitTimer.expires_after(std::chrono::milliseconds(static_cast<int64_t>(impl_->options.exitAfterMs)));
        impl_->exitTimer.async_wait([this](const boost::system::error_code& ec) {
            if (!ec) {
                impl_->io.stop();
            }
        });
    }
    if (signals) {
        impl_->signalSet = std::make_unique<asio::signal_set>(impl_->io, SIGINT, SIGTERM);
        impl_->signalSet->async_wait([this](const boost::system::error_code&, int) { impl_->io.stop(); });
    }
    impl_->io.run();
}

void ServerRunner::stop() { impl_->io.stop(); }

}  // namespace vobu::testserver
