// Parses OPDS feed files with the opds-feed-parser library (an OPDS client's
// parser) and prints, as one JSON array, what a reader app would take from
// each: its kind, links and entries. Exits 1 when a feed does not parse.
// Usage: node opds_client.js NODE_MODULES FEED...
const path = require("path");
const fs = require("fs");
const Parser = require(path.join(process.argv[2], "opds-feed-parser")).default;

async function main() {
  const parsed = [];
  for (const file of process.argv.slice(3)) {
    const feed = await new Parser().parse(fs.readFileSync(file, "utf8"));
    parsed.push({
      kind: feed.constructor.name,
      title: feed.title,
      links: feed.links.map(link => ({ rel: link.rel, href: link.href, type: link.type })),
      entries: feed.entries.map(entry => ({
        title: entry.title,
        authors: entry.authors.map(author => author.name),
        categories: entry.categories.map(c => ({ term: c.term, label: c.label })),
        series: entry.series,
        language: entry.language,
        summary: entry.summary && entry.summary.content,
        links: entry.links.map(link => ({ rel: link.rel, href: link.href, type: link.type })),
      })),
    });
  }
  process.stdout.write(JSON.stringify(parsed));
}

main().catch(error => {
  process.stderr.write(String(error) + "\n");
  process.exit(1);
});
