// The dialog as the user sees it: its controls' texts, states and typing limits.
#include <lyrui.h>

std::string LyrDialog::Text(int controlId) const {
  auto it = controls_.find(controlId);
  return it == controls_.end() ? std::string() : it->second.text;
}

bool LyrDialog::Enabled(int controlId) const {
  auto it = controls_.find(controlId);
  return it != controls_.end() && it->second.enabled;
}

size_t LyrDialog::TypingLimit(int controlId) const {
  auto it = controls_.find(controlId);
  return it == controls_.end() ? 0 : it->second.limit;
}

void LyrDialog::Type(int controlId, const std::string& text) {
  auto it = controls_.find(controlId);
  if (it == controls_.end() || !it->second.enabled) return;
  size_t limit = it->second.limit;
  it->second.text = limit != 0 && text.size() > limit ? text.substr(0, limit) : text;
}

void LyrDialog::SetText(int controlId, const std::string& text) {
  controls_[controlId].text = text;
}

void LyrDialog::SetEnabled(int controlId, bool enabled) {
  controls_[controlId].enabled = enabled;
}

void LyrDialog::SetTypingLimit(int controlId, size_t limit) {
  controls_[controlId].limit = limit;
}

std::vector<int> LyrDialog::ControlIds() const {
  std::vector<int> ids;
  for (const auto& control : controls_) ids.push_back(control.first);
  return ids;
}
