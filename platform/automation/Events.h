// Events of automation objects: a host connects handlers, the object raises the event and every
// handler runs in connection order. Handlers may connect or disconnect handlers while the event
// is being raised; such changes take effect from the next raise.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace automation {

template <class... Args>
class Event {
  public:
    using Handler = std::function<void(Args...)>;
    using Connection = std::uint64_t;

    Connection Connect(Handler handler) {
        handlers_.emplace_back(++lastConnection_, std::move(handler));
        return lastConnection_;
    }
    void Disconnect(Connection connection) {
        std::erase_if(handlers_, [connection](const auto& h) { return h.first == connection; });
    }
    bool HasHandlers() const noexcept { return !handlers_.empty(); }

    // RaiseEvent. An error thrown by a handler reaches the code that raised the event.
    void operator()(Args... args) const {
        const auto handlers = handlers_;
        for (const auto& [connection, handler] : handlers) {
            handler(args...);
        }
    }

  private:
    std::vector<std::pair<Connection, Handler>> handlers_;
    Connection lastConnection_ = 0;
};

// PropertyChanged("PropertyName"): a persisted property of a control was set by the host.
using PropertyChangedEvent = Event<const std::string&>;

}  // namespace automation
