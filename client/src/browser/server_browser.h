#pragma once
// The title screen: one list of game servers (a server directory's entries,
// then the user's saved addresses, each with its title and message of the
// day), the buttons under it, the waving logo and the character parade
// above it, and the add-server dialog that a hidden key sequence opens.
//
// It never calls back into its owner: it raises one-shot requests (join the
// selected server, open the characters) that the owner takes once a frame.

#include <SDL.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "browser/character_parade.h"
#include "browser/directory_subscription.h"
#include "browser/server_entry.h"
#include "browser/title_logo.h"
#include "character/watched_file.h"
#include "net/socket_transport.h"
#include "platform/performance_clock.h"
#include "ui/font.h"
#include "ui/graphics.h"
#include "ui/list_box.h"
#include "ui/text_field.h"
#include "ui/text_field_controller.h"
#include "ui/ui_canvas.h"
#include "ui/ui_controls.h"
#include "ui/ui_layout.h"

namespace vobu {

class ServerBrowser {
public:
    using TransportFactory = std::function<std::unique_ptr<SocketTransport>(TransportCallbacks&&)>;
    static constexpr int kAddressMaxLength = 512;
    // Where the dialog's address text starts and how much of it shows.
    static constexpr int kAddressTextX = 262;
    static constexpr int kAddressVisibleWidth = 492;
    static constexpr int kRowHeight = 60;
    static constexpr double kDoubleClickMs = 350;
    static constexpr double kSubscriptionPaceMs = 150;
    static constexpr double kSubscriptionTimeoutMs = 6000;

    // The real transports.
    ServerBrowser();
    // Other transports (tests).
    explicit ServerBrowser(TransportFactory makeTransport);
    ServerBrowser(const ServerBrowser&) = delete;
    ServerBrowser& operator=(const ServerBrowser&) = delete;

    // Subscription pacing and timeouts, clicks and the logo's wave.
    void setClock(MillisecondClock clockMs) { clock_ = std::move(clockMs); }

    // Once, when the title screen is first needed. `logoRgba` is the package
    // entry "logo.rgba". The transport factory's failures are let through.
    void initialize(Graphics& graphics, const Font& font, const std::string& directoryUrl,
                    const std::vector<uint8_t>& logoRgba);
    // A fresh directory request; failed saved servers are asked again.
    void refresh();
    // Once per frame while shown: the connections and their callbacks.
    void update();
    // The whole window, once per frame while shown.
    void draw(int width, int height, const std::vector<Character>& characters, uint32_t libraryRevision);
    void handleEvent(const SDL_Event& event);

    // True once after a join with a valid selection, with its URL; every
    // subscription is then closed. A join without one is dropped.
    bool takeJoinRequest(std::string& url);
    // True once after "Characters"; every subscription is then closed.
    bool takeCharactersRequest();

    // Directory and subscriptions.
    void clearDirectory();
    void parseDirectory(const char* text, unsigned length);
    void queueSubscriptions();
    void startSubscription(const std::string& url);
    void pollSubscriptions();
    void parseServerInfo(DirectorySubscription& subscription, const char* text, unsigned length);
    void closeSubscriptions();
    void rebuildRows(const std::string& preferredUrl);

    // Saved servers and the dialog.
    void loadSavedServers();
    void addServer();
    void deleteSelectedServer();
    void openDialog();
    void closeDialog();

    // The canvas as the next draw shows it (also rebuilds the controls).
    void redrawCanvas();

    Graphics* graphics = nullptr;
    const Font* font = nullptr;
    std::unique_ptr<SocketTransport> directoryTransport;
    std::vector<ServerEntry> rows;
    std::vector<ServerEntry> directoryEntries;
    std::vector<std::string> savedServers;
    std::map<std::string, ServerInfo> serverInfo;
    std::map<std::string, std::unique_ptr<DirectorySubscription>> subscriptions;
    std::deque<std::string> subscribeQueue;
    std::set<std::string> failedUrls;
    double nextSubscriptionMs = 0;
    TextField addressField{kAddressMaxLength};
    // The dialog's field is edited from the keyboard alone.
    TextFieldController addressController{.textX = kAddressTextX, .visibleWidth = kAddressVisibleWidth};
    int32_t sequenceProgress = 0;
    bool dialogOpen = false;
    std::string dialogStatus;
    std::string directoryUrl;
    UiControls controls;
    UiCanvas canvas;
    uint32_t canvasTexture = 0;
    ListBox list;
    TitleLogo logo;
    CharacterParade parade;
    UiLayout layout;
    int32_t mouseX = -1;
    int32_t mouseY = -1;
    bool joinRequested = false;
    bool charactersRequested = false;
    bool dirty = true;
    std::string lastClickUrl;
    double lastClickMs = 0;

    // The directory connection has delivered a valid reply since it was
    // last asked; its close then keeps the entries.
    bool directoryAnswered = false;
    // Why the directory cannot be asked (its address is not one the
    // transport dials), shown beside the buttons; empty when it can.
    std::string directoryStatus;
    // Why the last Delete left its row (another window had the per-user
    // folder), shown beside the buttons; emptied by the next Delete or Add.
    std::string savedServersStatus;
    // Saved servers that answered and then closed, waiting to be asked again.
    std::map<std::string, SubscriptionBackOff> backOff;
    // The server that was selected when the rows were emptied, selected
    // again once a row shows it, unless the player chooses another first.
    std::optional<std::string> wantedUrl;
    // The saved-server list file as this screen last read or wrote it.
    WatchedFile serversFile = watchedServersFile();

private:
    TransportCallbacks directoryCallbacks();
    void noteAnsweredClose(const DirectorySubscription& subscription, double nowMs);
    bool isSaved(const std::string& url) const;
    WatchedFile::Result changeSavedServers(const std::function<bool(std::vector<std::string>&)>& edit);
    bool takeSavedServersAsTheyAreNow(const std::string& text);
    void forgetServer(const std::string& url);
    bool hasValidSelection() const;
    void join();

    void drawStatusBesideButtons();
    void drawDialog();
    void registerControls();

    void handleDialogEvent(const SDL_Event& event, std::function<void()>& action);
    void handleDialogKey(const SDL_Keysym& key, std::function<void()>& action);
    void handleBrowserEvent(const SDL_Event& event, std::function<void()>& action);
    void handleBrowserKey(const SDL_KeyboardEvent& key, std::function<void()>& action);
    void stepHiddenSequence(SDL_Keycode key);
    void pressInList(int x, int y);

    TransportFactory makeTransport_;
    MillisecondClock clock_ = performanceMs;
};

}  // namespace vobu
