// Session life cycle and host callback helpers.
#include "frame/session.h"

#include <vector>

namespace tomeva::frame {

Session::~Session() { Unload(); }

void Session::Unload() {
  // Listings read the catalog and the field host points into the settings, so
  // they go first; the settings document goes last.
  listings.clear();
  column_values.clear();
  journals.Release();
  field_host.reset();
  catalog.reset();
  settings_root = XmlNode();
  folders = XmlNode();
  files = XmlNode();
  content_plugins = XmlNode();
  settings_doc.reset();
  book_id_table.clear();
  book_id_field.clear();
}

tree::CatalogView Session::View() const {
  tree::CatalogView view;
  view.db = catalog.get();
  view.settings_root = settings_root;
  view.folders = folders;
  view.files = files;
  view.book_id_table = book_id_table;
  view.book_id_field = book_id_field;
  return view;
}

bool Session::ReportProgress(const std::string& source, const std::string& target,
                             int percent) const {
  if (host.progress == nullptr) return false;
  // The callback takes mutable buffers; hand it copies.
  std::vector<char> src(source.begin(), source.end());
  src.push_back('\0');
  std::vector<char> dst(target.begin(), target.end());
  dst.push_back('\0');
  return host.progress(host.plugin_nr, src.data(), dst.data(), percent) == 1;
}

void Session::LogError(const std::string& text) const { Log(MSGTYPE_IMPORTANTERROR, text); }

void Session::ShowMessage(const char* title, const std::string& text) const {
  if (host.request == nullptr) return;
  std::vector<char> title_buf;
  if (title != nullptr) title_buf.assign(title, title + std::char_traits<char>::length(title) + 1);
  std::vector<char> text_buf(text.begin(), text.end());
  text_buf.push_back('\0');
  char empty[1] = {'\0'};
  host.request(host.plugin_nr, RT_MsgOK, title ? title_buf.data() : nullptr, text_buf.data(),
               empty, 0);
}

void Session::Log(int type, const std::string& text) const {
  if (host.log == nullptr) return;
  std::vector<char> text_buf(text.begin(), text.end());
  text_buf.push_back('\0');
  host.log(host.plugin_nr, type, text_buf.data());
}

}  // namespace tomeva::frame
