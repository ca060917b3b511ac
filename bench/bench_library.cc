// The import benchmarks' library.
#include "bench_library.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "catalog/catalog_file.h"
#include "catalog_generator.h"
#include "common/node_path.h"

namespace tomeva::bench {
namespace {

// Writes file's pages to disk now: the kernel's writeback of a catalog copied
// just before an import would otherwise fall within the import's time.
void FlushToDisk(const std::string& file) {
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot open " + file);
  const bool synced = fsync(fd) == 0;
  close(fd);
  if (!synced) throw std::runtime_error("cannot write " + file + " to disk");
}

}  // namespace

XmlDocument DefaultSettings() {
  Result<XmlDocument> doc = XmlDocument::LoadText(SourceFile("config/Tomeva.xml"));
  if (!doc.ok()) throw std::runtime_error("config/Tomeva.xml: " + doc.message());
  return std::move(doc).value();
}

BenchLibrary::BenchLibrary(const std::string& work_folder, const std::string& catalog_template)
    : work_folder_(work_folder),
      library_folder_(work_folder + "/Lib"),
      settings_(DefaultSettings()) {
  std::filesystem::remove_all(work_folder_);
  std::filesystem::create_directories(library_folder_);
  const std::string catalog_file = work_folder_ + "/Tomeva.sqlite";
  if (catalog_template.empty()) {
    if (!catalog::CreateCatalogFile(catalog_file, SourceFile("config/schema.sql")).ok()) {
      throw std::runtime_error("cannot create " + catalog_file);
    }
  } else {
    std::filesystem::copy_file(catalog_template, catalog_file);
    FlushToDisk(catalog_file);
  }
  auto opened = catalog::OpenCatalog("Provider=SQLite; Data Source=" + catalog_file);
  if (!opened.ok()) throw std::runtime_error(opened.message());
  db_ = std::move(opened).value();

  XmlNode root = settings_.RootElement();
  SetPathText(root, "root", library_folder_);
  SetPathText(root, "storefiles", "-1");
  XmlNode plugins = NodeByPath(root, "ContentPlugins", /*create=*/true);
  content::AddBuiltinSources(plugins);
  host_ = std::make_unique<content::FieldHost>(plugins, std::string(TOMEVA_SOURCE_DIR) + "/config",
                                               "");
  access_ = std::make_unique<books::FieldHostAccess>(*host_);
  ctx_.view = {db_.get(), root, root.FirstChildElement("folders"),
               root.FirstChildElement("files"), "Books", "BookId"};
  ctx_.fields = access_.get();
  ctx_.journals = &journals_;
}

BenchLibrary::~BenchLibrary() {
  access_.reset();
  host_.reset();
  db_.reset();
  std::error_code ec;
  std::filesystem::remove_all(work_folder_, ec);
}

}  // namespace tomeva::bench
