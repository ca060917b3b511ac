// The callbacks handed to FsInit.
#include "cli/host.h"

#include <cstring>
#include <iostream>

#include "cli/program_paths.h"
#include "cli/terminal.h"
#include "common/text.h"

namespace tomeva::cli {
namespace {

// The one Host whose callbacks are live (see Host).
Host* g_host = nullptr;

std::string TextOf(const char* text) { return text != nullptr ? text : ""; }

// True when a prompt's title asks for the settings file ("Enter Settings file
// name"), in any letter case.
bool AsksForSettingsFile(std::string_view title) {
  return UpperCaseText(title).find("SETTINGS FILE") != std::string::npos;
}

}  // namespace

Host::Host(std::optional<std::string> settings_file) {
  if (settings_file) settings_file_ = AbsolutePath(*settings_file);
  g_host = this;
}

Host::~Host() {
  if (g_host == this) g_host = nullptr;
}

tProgressProc Host::progress_proc() { return &Host::OnProgress; }
tLogProc Host::log_proc() { return &Host::OnLog; }
tRequestProc Host::request_proc() { return &Host::OnRequest; }

void Host::BeginOperation() {
  logged_error_.reset();
  shown_message_.reset();
  details_.reset();
}

std::optional<std::string> Host::FailureReason() const {
  return logged_error_ ? logged_error_ : shown_message_;
}

void Host::HoldMessages() { holding_ = true; }

void Host::ReleaseMessages() {
  holding_ = false;
  std::vector<std::string> held = std::move(held_);
  held_.clear();
  for (const std::string& text : held) PrintMessage(text);
}

void Host::PrintMessage(const std::string& text) {
  if (holding_) {
    held_.push_back(text);
    return;
  }
  if (observer_ != nullptr) observer_->ClearLine();
  std::cout.flush();
  std::cerr << "tomeva: " << text << std::endl;
}

int Host::OnProgress(int, char* source, char* target, int percent) {
  if (g_host != nullptr && g_host->observer_ != nullptr) {
    g_host->observer_->OnProgress(TextOf(source), TextOf(target), percent);
  }
  return InterruptRequested() ? 1 : 0;
}

void Host::OnLog(int, int type, char* text) {
  if (g_host == nullptr) return;
  if (type == kLogImportantError) g_host->logged_error_ = TextOf(text);
  if (type == kLogDetails) g_host->details_ = TextOf(text);
}

BOOL Host::OnRequest(int, int type, char* title, char* text, char* returned, int maxlen) {
  Host* host = g_host;
  if (host == nullptr) return FALSE;
  switch (type) {
    case RT_MsgOK: {
      std::string message = TextOf(text);
      host->shown_message_ = message;
      host->PrintMessage(message);
      return TRUE;
    }
    case RT_Other: {
      const bool asks_for_settings = AsksForSettingsFile(TextOf(title));
      if (!asks_for_settings) {
        // Say what was not answered: the start-up failure that follows is
        // explained by it (a catalog file that is not where the settings say).
        std::string preset;
        if (returned != nullptr && maxlen > 0) {
          preset.assign(returned, strnlen(returned, static_cast<size_t>(maxlen)));
        }
        host->PrintMessage("cannot answer the plugin's question \"" + TextOf(title) + "\"" +
                           (preset.empty() ? "" : " (" + preset + ")"));
        return FALSE;
      }
      if (!host->settings_file_ || host->settings_answered_ || returned == nullptr ||
          maxlen <= 0) {
        return FALSE;
      }
      const std::string& answer = *host->settings_file_;
      if (answer.size() >= static_cast<size_t>(maxlen)) return FALSE;  // would be cut
      std::memcpy(returned, answer.c_str(), answer.size() + 1);
      host->settings_answered_ = true;
      // What the plugin said before asking is answered now.
      host->held_.clear();
      return TRUE;
    }
    default:
      // Questions cannot be asked on the command line: they are cancelled.
      return FALSE;
  }
}

}  // namespace tomeva::cli
