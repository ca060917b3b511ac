// Drives a headless Chromium through the DevTools protocol the way a user
// would: opens the server's HTML root, follows folder links by their text
// (or, for a text "?WORDS", types WORDS into the page's search box and
// submits it) down to a book, clicks its download link and waits for the
// file. Prints the downloaded file's path; exits 1 on any failure.
// Usage: node --experimental-websocket browser_download.js DEVTOOLS_PORT ROOT_URL
//            DOWNLOAD_DIR FOLDER_TEXT|?WORDS... BOOK_TEXT
const fs = require("fs");
const path = require("path");

const [port, rootUrl, downloadDir, ...texts] = process.argv.slice(2);
const bookText = texts.pop();

function fail(message) {
  process.stderr.write(message + "\n");
  process.exit(1);
}

async function main() {
  const target = await (await fetch(`http://127.0.0.1:${port}/json/new?about:blank`, { method: "PUT" })).json();
  const socket = new WebSocket(target.webSocketDebuggerUrl);
  await new Promise((resolve, reject) => { socket.onopen = resolve; socket.onerror = reject; });
  let serial = 0;
  const pending = new Map();
  const events = [];
  socket.onmessage = message => {
    const data = JSON.parse(message.data);
    if (data.id && pending.has(data.id)) {
      pending.get(data.id)(data);
      pending.delete(data.id);
    } else if (data.method) {
      events.push(data.method);
    }
  };
  const send = (method, params = {}) => new Promise(resolve => {
    const id = ++serial;
    pending.set(id, resolve);
    socket.send(JSON.stringify({ id, method, params }));
  });
  const loaded = async () => {
    for (let i = 0; i < 200; ++i) {
      const state = await send("Runtime.evaluate", { expression: "document.readyState" });
      if (state.result && state.result.result.value === "complete") return;
      await new Promise(r => setTimeout(r, 25));
    }
    fail("page did not load");
  };
  // Clicks the link whose text is text, as a user would.
  const click = async text => {
    const result = await send("Runtime.evaluate", {
      expression: `(() => { const a = [...document.links].find(l => l.textContent === ${JSON.stringify(text)});
                           if (!a) return false; a.click(); return true; })()`,
    });
    if (!result.result || result.result.result.value !== true) fail(`no link "${text}"`);
  };

  // Types words into the search box and submits its form, as a user would.
  const search = async words => {
    const result = await send("Runtime.evaluate", {
      expression: `(() => { const form = document.querySelector("form[role=search]");
                           if (!form) return false; form.elements.q.value = ${JSON.stringify(words)};
                           form.submit(); return true; })()`,
    });
    if (!result.result || result.result.result.value !== true) fail("no search box on the page");
  };

  await send("Page.enable");
  await send("Page.setDownloadBehavior", { behavior: "allow", downloadPath: downloadDir });
  await send("Page.navigate", { url: rootUrl });
  await loaded();
  const feed = await send("Runtime.evaluate", {
    expression: "document.querySelector('link[rel=start][type*=opds-catalog]').getAttribute('href')",
  });
  if (!feed.result || feed.result.result.value !== "/opds") fail("no OPDS link on the page");
  // Waits until the page has left from (its address changed) and the new
  // one has loaded: on a busy machine the navigation may start late.
  const address = async () => {
    const result = await send("Runtime.evaluate", { expression: "location.href" });
    return result.result ? result.result.result.value : undefined;
  };
  const navigated = async from => {
    for (let i = 0; i < 400; ++i) {
      if ((await address()) !== from) return loaded();
      await new Promise(r => setTimeout(r, 25));
    }
    fail("the page did not change");
  };
  for (const text of texts) {
    const from = await address();
    if (text.startsWith("?")) await search(text.slice(1)); else await click(text);
    await navigated(from);
  }
  await click(bookText);
  for (let i = 0; i < 400; ++i) {
    const files = fs.readdirSync(downloadDir).filter(f => !f.endsWith(".crdownload"));
    if (files.length > 0) {
      process.stdout.write(path.join(downloadDir, files[0]));
      socket.close();
      return;
    }
    await new Promise(r => setTimeout(r, 25));
  }
  fail("no download arrived");
}

main().then(() => process.exit(0)).catch(error => fail(String(error)));
