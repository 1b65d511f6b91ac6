// The listeners of a model object: a front end subscribes to hear every
// change, and unsubscribes before it goes.
#pragma once

#include <functional>
#include <map>
#include <utility>

namespace kestrune {

template <class... Args>
class ListenerList {
 public:
  using Listener = std::function<void(Args...)>;

  int Subscribe(Listener listener) {
    const int id = next_id_++;
    listeners_.emplace(id, std::move(listener));
    return id;
  }
  void Unsubscribe(int id) { listeners_.erase(id); }
  void Notify(Args... args) const {
    // A listener may unsubscribe while it runs, so walk a copy.
    const auto copy = listeners_;
    for (const auto& [id, listener] : copy) listener(args...);
  }

 private:
  int next_id_ = 1;
  std::map<int, Listener> listeners_;
};

}  // namespace kestrune
