// Start-up of a plugin session.
//
// The settings file is looked for beside the plugin first (Tomeva.xml next to
// Tomeva.wfx). When that fails, Tomeva.ini beside the plugin may name another
// settings file, or a folder (ending in a separator) holding Tomeva.xml; that
// folder then becomes the base of the relative catalog and library paths. After
// that, every failure shows its message and asks for a settings file, until one
// loads or the user cancels; the folder of a settings file the user picks is the
// base of its relative paths. A plugin that finds neither file beside it says
// where it looked and how a library is made.
#include "frame/startup.h"

#include <exception>

#include "catalog/database.h"
#include "common/node_path.h"
#include "common/path_rules.h"
#include "common/text.h"
#include "frame/upgrade.h"
#include "platform/files.h"
#include "platform/module.h"
#include "platform/path_style.h"
#include "platform/prompt.h"

namespace tomeva::frame {
namespace {

constexpr platform::PathStyle kStyle = platform::NativePathStyle();

// A user who keeps answering with files that do not load is asked at most this
// many times; a scripted host that always gives the same answer cannot loop forever.
constexpr int kMaxPrompts = 16;

constexpr const char* kSettingsFilter = "xml|*.xml|all files|*.*";
constexpr const char* kSettingsTitle = "Enter Settings file name";
constexpr const char* kJetCatalogFilter = "Базы данных MSAccess(*.mdb)|*.mdb|Все файлы|*.*";
constexpr const char* kSqliteCatalogFilter =
    "Базы данных SQLite(*.sqlite)|*.sqlite|Все файлы|*.*";
constexpr const char* kCatalogTitle = "Укажите базу данных для отображения";

bool IsSqliteProvider(std::string_view provider) {
  std::string upper = UpperCaseText(provider);
  return upper == "SQLITE" || upper == "SQLITE3";
}

// Text of a child of the settings root, created empty when missing (the loaded
// document is never saved, so this changes nothing on disk).
std::string ChildText(XmlNode root, std::string_view name) {
  return NodeByPath(root, name, /*create=*/true).Text();
}

// The host's text request as the platform prompt sees it.
platform::TextRequest HostTextRequest(const Session& session) {
  if (session.host.request == nullptr) return nullptr;
  return [&session](std::string_view title, std::string_view text,
                    std::string_view preset) -> std::optional<std::string> {
    std::string title_buf(title);
    std::string text_buf(text);
    std::string answer(4096, '\0');
    answer.replace(0, std::min(preset.size(), answer.size() - 1), preset.substr(0, answer.size() - 1));
    BOOL ok = session.host.request(session.host.plugin_nr, RT_Other, title_buf.data(),
                                   text_buf.data(), answer.data(),
                                   static_cast<int>(answer.size()));
    if (!ok) return std::nullopt;
    answer.resize(answer.find('\0'));
    return answer;
  };
}

// A file name from the user or Tomeva.ini, made absolute against the plugin's
// folder. It is otherwise taken byte for byte: a name with a trailing line break
// names a file that does not exist, and the user is told so.
std::string AbsoluteAnswer(const Session& session, const std::string& answer) {
  if (answer.empty() || answer.front() == '/') return answer;
  return std::string(FolderPart(kStyle, session.module_path)) + answer;
}

bool EndsWithSeparator(std::string_view text) {
  return !text.empty() && (text.back() == '/' || text.back() == '\\');
}

// The first message of a plugin that found neither settings nor Tomeva.ini
// beside it: the message itself, where it looked, and how to make a library.
std::string FirstStartMessage(const std::string& settings_path, const std::string& ini_path) {
  return std::string(SettingsLoadMessage(SettingsLoad::kNotFound)) +
         "\n\nTomeva искала его здесь:\n  " + settings_path + "\n  " + ini_path +
         " (путь к папке библиотеки)\n\n"
         "Новую библиотеку создаёт команда\n  tomeva init ПАПКА\n"
         "(она же записывает Tomeva.ini рядом с модулем). "
         "Или укажите далее файл Tomeva.xml существующей библиотеки.";
}

}  // namespace

const char* SettingsLoadMessage(SettingsLoad code) {
  switch (code) {
    case SettingsLoad::kLoaded: return "";
    case SettingsLoad::kNotFound: return "Не найден файл настроек";
    case SettingsLoad::kNoDocument: return "Файл настроек не является файлом XML_01";
    case SettingsLoad::kNotXml: return "Файл настроек не является файлом XML_02";
    case SettingsLoad::kNoRoot: return "Отсутствует корневой элемент";
    case SettingsLoad::kNoFolders: return "Отсутствуют шаблоны вывода каталогов";
    case SettingsLoad::kNoFiles: return "Отсутствуют шаблоны доступа к файлам";
  }
  return "";
}

SettingsLoad LoadSettings(Session& session, const std::string& path) {
  if (!platform::FileExists(path)) return SettingsLoad::kNotFound;
  session.Unload();
  Result<XmlDocument> doc = XmlDocument::LoadFile(path);
  if (!doc.ok()) return SettingsLoad::kNotXml;
  session.settings_doc.emplace(std::move(doc).value());
  XmlNode root = FindTopNode(*session.settings_doc, "settings");
  if (!root) {
    session.Unload();
    return SettingsLoad::kNoRoot;
  }
  XmlNode folders = root.FirstChildElement("folders");
  if (!folders) {
    session.Unload();
    return SettingsLoad::kNoFolders;
  }
  XmlNode files = root.FirstChildElement("files");
  if (!files) {
    session.Unload();
    return SettingsLoad::kNoFiles;
  }
  try {
    // Throws XmlError when the id's table holds elements instead of text.
    session.book_id_table = GetPathText(root, "properties/simple/id/table");
    session.book_id_field = GetPathText(root, "properties/simple/id/@name");
  } catch (...) {
    session.Unload();
    throw;
  }
  session.settings_root = root;
  session.folders = folders;
  session.files = files;
  return SettingsLoad::kLoaded;
}

std::string DefaultCatalogFile(std::string_view base_path, std::string_view provider) {
  return ChangeFileExtension(kStyle, base_path, IsSqliteProvider(provider) ? ".sqlite" : ".mdb");
}

std::string CatalogConnectionString(std::string_view provider, std::string_view file) {
  // Quoted, so that a file name holding ";", "=" or quotes stays one value.
  return "Provider=" + std::string(provider) + "; Data Source=\"" + ReplaceAll(file, "\"", "\"\"") +
         "\"; Persist Security Info=False";
}

int StartSession(Session& session) {
  session.Unload();
  try {
    const std::string module_path = session.module_path;
    std::string base_path = module_path;
    std::string settings_path = ChangeFileExtension(kStyle, module_path, ".xml");
    platform::TextRequest request = HostTextRequest(session);

    // The settings loop.
    const std::string ini_path = ChangeFileExtension(kStyle, module_path, ".ini");
    bool redirect_tried = false;
    bool redirected = false;
    int prompts = 0;
    for (;;) {
      SettingsLoad code = LoadSettings(session, settings_path);
      if (code == SettingsLoad::kLoaded) break;
      std::string redirect;
      if (!redirect_tried) {
        redirect_tried = true;
        // Taken byte for byte: a trailing line break is part of the name.
        redirect = platform::ReadFileRange(ini_path, 0, 0x7FFFFFFF);
        redirected = !redirect.empty();
      }
      if (!redirect.empty()) {
        if (EndsWithSeparator(redirect)) {
          std::string folder = AbsoluteAnswer(session, redirect);
          settings_path = ChangeFileExtension(
              kStyle, folder + std::string(FileNamePart(kStyle, module_path)), ".xml");
          base_path = settings_path;
        } else {
          settings_path = AbsoluteAnswer(session, redirect);
        }
        continue;
      }
      const bool first_start = prompts == 0 && !redirected && code == SettingsLoad::kNotFound;
      session.ShowMessage("Error", first_start ? FirstStartMessage(settings_path, ini_path)
                                               : SettingsLoadMessage(code));
      if (++prompts > kMaxPrompts) return -1;
      settings_path = AbsoluteAnswer(
          session, platform::AskFileName(request, settings_path, kSettingsFilter, kSettingsTitle));
      if (settings_path.empty()) return -1;
      // A settings file the user picks is a library's own: its relative catalog
      // and library paths start from its folder.
      base_path = settings_path;
    }

    XmlNode root = session.settings_root;
    const std::string base_dir(FolderPart(kStyle, base_path));
    const std::string provider = ChildText(root, "provider");

    // The catalog file.
    std::string catalog_path = UserPath(kStyle, base_dir, ChildText(root, "datasource"));
    if (catalog_path.empty()) catalog_path = DefaultCatalogFile(base_path, provider);
    prompts = 0;
    while (!platform::FileExists(catalog_path)) {
      std::string chosen = AbsoluteAnswer(
          session,
          platform::AskFileName(request, catalog_path,
                                IsSqliteProvider(provider) ? kSqliteCatalogFilter
                                                           : kJetCatalogFilter,
                                kCatalogTitle));
      if (chosen.empty() || ++prompts > kMaxPrompts) {
        session.Unload();
        return -1;
      }
      catalog_path = chosen;
    }

    // A catalog that cannot be opened leaves the session without one; listings
    // and book operations then fail the way a failing query does.
    Result<std::unique_ptr<catalog::Database>> opened =
        catalog::OpenCatalog(CatalogConnectionString(provider, catalog_path),
                             session.catalog_access);
    if (opened.ok()) {
      session.catalog = std::move(opened).value();
    } else {
      session.catalog_error = "cannot open the catalog: " + opened.message();
    }
    // An older catalog learns about collections (nothing to do for a current one).
    (void)UpgradeForCollections(session.catalog.get());

    // The library folder, absolute from now on.
    std::string library = ChildText(root, "root");
    if (library.empty()) library = "Lib";
    NodeByPath(root, "root", /*create=*/true).SetText(UserPath(kStyle, base_dir, library));

    // Field sources: the built-in ones come first.
    session.content_plugins = NodeByPath(root, "ContentPlugins", /*create=*/true);
    content::AddBuiltinSources(session.content_plugins);
    session.field_host = std::make_unique<content::FieldHost>(
        session.content_plugins, FolderPart(kStyle, module_path),
        FolderPart(kStyle, platform::ExecutablePath()));
    return 0;
  } catch (const std::exception& e) {
    session.Unload();
    session.ShowMessage(nullptr, e.what());
    return -1;
  }
}

}  // namespace tomeva::frame
