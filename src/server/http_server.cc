// Routes of the HTTP server and the answers to each kind of request.
#include "server/http_server.h"

#include <httplib.h>
#include <sys/socket.h>
#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "server/book_download.h"
#include "server/book_source.h"
#include "server/folder_page.h"
#include "server/html_page.h"
#include "server/opds_feed.h"
#include "server/request_path.h"
#include "server/search_pages.h"
#include "server/site_urls.h"
#include "tree/path_resolution.h"

namespace tomeva::server {
namespace {

void SetError(httplib::Response& res, int status, std::string_view text) {
  res.status = status;
  res.set_content(std::string(text) + "\n", "text/plain; charset=utf-8");
}

// The virtual path the part of the request path after the route's prefix
// names; false (with the error answer set) when it names none.
bool RequestedPath(const httplib::Request& req, httplib::Response& res, std::string& path) {
  const std::string relative = req.matches.size() > 1 ? req.matches[1].str() : std::string();
  switch (VirtualPathOfRequest(relative, path)) {
    case PathCheck::kOk: return true;
    case PathCheck::kTooLong: SetError(res, 414, "path too long"); return false;
    case PathCheck::kBadName: SetError(res, 400, "bad path"); return false;
  }
  return false;
}

// The page the "page" parameter asks for (1 when absent); 0 when it is no number.
size_t RequestedPage(const httplib::Request& req) {
  if (!req.has_param("page")) return 1;
  const std::string text = req.get_param_value("page");
  size_t page = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), page);
  if (error != std::errc() || end != text.data() + text.size()) return 0;
  return page;
}

// text deflated in the gzip format; nullopt when zlib fails.
std::optional<std::string> Gzipped(const std::string& text) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8,
                   Z_DEFAULT_STRATEGY) != Z_OK) {
    return std::nullopt;
  }
  std::string out(deflateBound(&stream, text.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) return std::nullopt;
  return out;
}

bool AcceptsGzip(const httplib::Request& req) {
  return req.get_header_value("Accept-Encoding").find("gzip") != std::string::npos;
}

// Sets a feed as the answer, gzipped when the client asked for it (the HTTP
// library compresses text/* answers by itself, but not Atom's media type).
void SetFeed(const httplib::Request& req, httplib::Response& res, std::string xml,
             const char* type) {
  res.set_header("Vary", "Accept-Encoding");
  if (AcceptsGzip(req)) {
    if (std::optional<std::string> packed = Gzipped(xml)) {
      res.set_header("Content-Encoding", "gzip");
      res.set_content(std::move(*packed), type);
      return;
    }
  }
  res.set_content(std::move(xml), type);
}

std::string FolderTitle(std::string_view path) {
  const std::string_view name = VirtualName(path);
  return name.empty() ? "Tomeva" : std::string(name);
}

// Lists the requested page of folder path; false (with the error answer set)
// when there is none.
bool ListFolder(LibraryPool& pool, FolderCounts& counts, const httplib::Request& req,
                httplib::Response& res, const std::string& path, FolderPage& page) {
  const size_t number = RequestedPage(req);
  if (number == 0) {
    SetError(res, 400, "bad page number");
    return false;
  }
  PageOutcome outcome;
  {
    LibraryPool::Lease lease = pool.Borrow();
    outcome = ListFolderPage(lease.view(), path, number, counts, page);
  }
  switch (outcome) {
    case PageOutcome::kListed: return true;
    case PageOutcome::kNoSuchFolder: SetError(res, 404, "no such folder"); return false;
    case PageOutcome::kNoSuchPage: SetError(res, 404, "no such page"); return false;
    case PageOutcome::kFailed: SetError(res, 500, "the catalog could not be read"); return false;
  }
  return false;
}

// Lists the requested page of the requested folder; false (with the error
// answer set) when there is none.
bool ListRequestedFolder(LibraryPool& pool, FolderCounts& counts, const httplib::Request& req,
                         httplib::Response& res, FolderPage& page) {
  std::string path;
  if (!RequestedPath(req, res, path)) return false;
  return ListFolder(pool, counts, req, res, path, page);
}

// Lists the requested page of the folder a search request ("q" holds the
// words) stands for; false (with the error answer set) without a word.
bool ListSearchedFolder(LibraryPool& pool, FolderCounts& counts, const httplib::Request& req,
                        httplib::Response& res, FolderPage& page) {
  std::optional<std::string> folder = SearchFolderOfWords(req.get_param_value("q"));
  if (!folder) {
    SetError(res, 400, "no words to search for (parameter q)");
    return false;
  }
  return ListFolder(pool, counts, req, res, *folder, page);
}

// The base URL the client reached the server at, as its Host header says.
std::string BaseUrl(const httplib::Request& req) {
  std::string host = req.get_header_value("Host");
  if (host.empty() || host.find_first_of("/\\\"<>' ") != std::string::npos) host = "localhost";
  return "http://" + host;
}

// The book the request's path names, looked up in the catalog; nullopt (with
// the error answer set) when it names none.
std::optional<BookSource> RequestedBook(LibraryPool& pool, const httplib::Request& req,
                                        httplib::Response& res, std::string& path) {
  if (!RequestedPath(req, res, path)) return std::nullopt;
  std::optional<BookSource> source;
  {
    LibraryPool::Lease lease = pool.Borrow();
    // The only way from a request to a file: the catalog's record of the book
    // the path names.
    source = BookSourceOfId(lease.view(), tree::BookIdOfPath(lease.view(), path));
  }
  if (!source) SetError(res, 404, "no such book");
  return source;
}

// Answers with the bytes of the stored file, read as the client takes them
// (ranges too).
void ServeStoredFile(const std::string& file, const std::string& name, httplib::Response& res) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(file, error);
  auto stream = std::make_shared<std::ifstream>();
  if (!error) stream->open(file, std::ios::binary);
  if (error || !*stream) {
    SetError(res, 404, "the book's file is missing");
    return;
  }
  res.set_header("Content-Disposition", ContentDisposition(name));
  res.set_content_provider(
      static_cast<size_t>(size), BookMediaType(name),
      [stream](size_t offset, size_t length, httplib::DataSink& sink) {
        char buffer[64 * 1024];
        stream->clear();
        stream->seekg(static_cast<std::streamoff>(offset));
        while (length > 0) {
          const size_t chunk = std::min(length, sizeof buffer);
          stream->read(buffer, static_cast<std::streamsize>(chunk));
          const auto got = static_cast<size_t>(stream->gcount());
          if (got == 0 || !sink.write(buffer, got)) return false;
          length -= got;
        }
        return true;
      });
}

// Answers with the uncompressed bytes of a collection book's archive member.
// Only the member is read (the archive's central directory aside), whole, so
// that a deflated member can be served in ranges like any file; the archive
// reader bounds its size.
void ServeArchiveMember(const collections::ArchiveMember& member, const std::string& name,
                        httplib::Response& res) {
  MemberRead read = ReadMemberBytes(member);
  if (!read.bytes) {
    std::cerr << "tomeva serve: " << read.message << std::endl;
    if (read.failure == ReadFailure::kMissing) {
      SetError(res, 404, "the book's archive or its place in it is missing");
    } else {
      SetError(res, 500, "the book could not be read from its archive");
    }
    return;
  }
  res.set_header("Content-Disposition", ContentDisposition(name));
  res.set_content(std::move(*read.bytes), BookMediaType(name));
}

void ServeDownload(LibraryPool& pool, const httplib::Request& req, httplib::Response& res) {
  std::string path;
  std::optional<BookSource> source = RequestedBook(pool, req, res, path);
  if (!source) return;
  const std::string name(VirtualName(path));
  if (source->member) {
    ServeArchiveMember(*source->member, name, res);
  } else {
    ServeStoredFile(source->file, name, res);
  }
}

void ServeCover(LibraryPool& pool, CoverCache& covers, const httplib::Request& req,
                httplib::Response& res) {
  const std::string text = req.matches[1].str();
  int32_t id = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
  if (error != std::errc() || end != text.data() + text.size() || id < 0) {
    SetError(res, 400, "bad book key");
    return;
  }
  std::optional<BookSource> source;
  {
    LibraryPool::Lease lease = pool.Borrow();
    source = BookSourceOfId(lease.view(), id);
  }
  std::shared_ptr<const CoverImage> cover = source ? covers.Get(*source) : nullptr;
  if (cover == nullptr) {
    SetError(res, 404, "no cover");
    return;
  }
  res.set_header("Cache-Control", "max-age=86400");
  res.set_content(cover->bytes, cover->media_type);
}

}  // namespace

std::optional<ListenAddress> ParseListenAddress(std::string_view text) {
  const size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  ListenAddress address;
  std::string_view host = text.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  address.host = host.empty() ? "127.0.0.1" : std::string(host);
  const std::string_view port = text.substr(colon + 1);
  const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), address.port);
  if (port.empty() || error != std::errc() || end != port.data() + port.size() ||
      address.port < 0 || address.port > 65535) {
    return std::nullopt;
  }
  return address;
}

HttpServer::HttpServer(LibraryPool& pool, ServerOptions options)
    : pool_(pool), options_(std::move(options)), http_(std::make_unique<httplib::Server>()) {
  // The HTTP library gives each connection a thread of its own for as long as
  // it is kept alive, so connection threads are many more than sessions: a
  // request borrows one of the pool's sessions only while it reads the
  // catalog, and readers kept alive while idle do not hold up the others.
  // The HTTP library owns the queue it is given as a raw pointer.
  const int threads = std::max(kConnectionThreads, pool_.size());
  http_->new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  // Answers go out at once: without this, a response written in two pieces
  // waits for the client's delayed acknowledgement (40 ms on Linux).
  http_->set_tcp_nodelay(true);
  // A client keeps its connection for many requests: the HTTP library's
  // default of 5 makes busy clients reconnect all the time, and its short
  // accept queue then drops connection attempts, which wait a second to retry.
  http_->set_keep_alive_max_count(kKeepAliveRequests);
  // The socket Bind listens on, to give it a longer queue (Bind).
  http_->set_socket_options([this](socket_t sock) {
    httplib::default_socket_options(sock);
    listening_socket_ = sock;
  });
  AddRoutes();
}

HttpServer::~HttpServer() { Stop(); }

void HttpServer::AddRoutes() {
  if (options_.authenticator != nullptr) {
    // Every request, whatever it asks for, first shows its credentials.
    Authenticator& authenticator = *options_.authenticator;
    http_->set_pre_routing_handler([&authenticator](const httplib::Request& req,
                                                    httplib::Response& res) {
      switch (authenticator.Check(req.get_header_value("Authorization"))) {
        case Authenticator::Verdict::kAllowed: return httplib::Server::HandlerResponse::Unhandled;
        case Authenticator::Verdict::kDenied:
          res.set_header("WWW-Authenticate", "Basic realm=\"Tomeva\", charset=\"UTF-8\"");
          SetError(res, 401, "a user name and password are needed");
          break;
        case Authenticator::Verdict::kBusy:
          res.set_header("Retry-After", "1");
          SetError(res, 503, "too many logins at once; try again");
          break;
      }
      return httplib::Server::HandlerResponse::Handled;
    });
  }
  LibraryPool& pool = pool_;
  FolderCounts& counts = counts_;
  const auto feed = [&pool, &counts](const httplib::Request& req, httplib::Response& res) {
    FolderPage page;
    if (!ListRequestedFolder(pool, counts, req, res, page)) return;
    const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    SetFeed(req, res, FolderFeed(page, FolderTitle(page.path), now), FeedType(page));
  };
  const auto html = [&pool, &counts](const httplib::Request& req, httplib::Response& res) {
    FolderPage page;
    if (!ListRequestedFolder(pool, counts, req, res, page)) return;
    res.set_content(FolderHtml(page, FolderTitle(page.path)), "text/html; charset=utf-8");
  };
  const auto search_feed = [&pool, &counts](const httplib::Request& req, httplib::Response& res) {
    FolderPage page;
    if (!ListSearchedFolder(pool, counts, req, res, page)) return;
    const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    // Always an acquisition feed, also when nothing is found.
    SetFeed(req, res, FolderFeed(page, FolderTitle(page.path), now), kAcquisitionType);
  };
  const auto search_html = [&pool, &counts](const httplib::Request& req, httplib::Response& res) {
    FolderPage page;
    if (!ListSearchedFolder(pool, counts, req, res, page)) return;
    res.set_content(FolderHtml(page, FolderTitle(page.path)), "text/html; charset=utf-8");
  };
  http_->Get(kOpenSearchUrl, [](const httplib::Request& req, httplib::Response& res) {
    res.set_content(OpenSearchDescription(BaseUrl(req)), kOpenSearchType);
  });
  http_->Get(kOpdsSearchUrl, search_feed);
  http_->Get(kHtmlSearchUrl, search_html);
  http_->Get("/opds", feed);
  http_->Get(R"(/opds/([\s\S]*))", feed);
  http_->Get("/", html);
  http_->Get("/browse", html);
  http_->Get(R"(/browse/([\s\S]*))", html);
  http_->Get(R"(/get/([\s\S]*))", [&pool](const httplib::Request& req, httplib::Response& res) {
    ServeDownload(pool, req, res);
  });
  CoverCache& covers = covers_;
  http_->Get(R"(/cover/([\s\S]*))",
             [&pool, &covers](const httplib::Request& req, httplib::Response& res) {
               ServeCover(pool, covers, req, res);
             });
}

Result<int> HttpServer::Bind(const std::string& host, int port) {
  int bound = port;
  if (port == 0) {
    bound = http_->bind_to_any_port(host);
    if (bound <= 0) return Error{"cannot listen on " + host};
  } else if (!http_->bind_to_port(host, port)) {
    return Error{"cannot listen on " + host + ":" + std::to_string(port)};
  }
  // The HTTP library listens with a queue of 5 connections not yet accepted:
  // a burst of new connections (a browser opening several at once for a
  // page's covers, clients reconnecting) overflows it, and the kernel drops
  // the others' first packet, which a client sends again only after 1-3 s.
  // Listening again on the same socket sets the queue's length.
  if (listening_socket_ >= 0) (void)::listen(listening_socket_, SOMAXCONN);
  return bound;
}

Status HttpServer::Run() {
  if (!http_->listen_after_bind()) return Error{"the server stopped with an error"};
  return Status::Ok();
}

void HttpServer::Stop() {
  if (http_ != nullptr && http_->is_running()) http_->stop();
}

}  // namespace tomeva::server
