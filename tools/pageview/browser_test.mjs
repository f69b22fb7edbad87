// Opens pages that pageview made in a real headless Chromium, through its
// DevTools protocol, and checks what they show against pagesim itself.
//   node --experimental-websocket browser_test.mjs CASE BUILD_DIR
// CASE: tables, keys, theirs, pagediff, screenshot; "measure TRACE" prints the size and
// load time of a page of 5,000 records. Exit 0 passed, 1 failed, 77 skipped
// (no Chromium, outside CI).
import { spawn, execFileSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";

const [caseName, buildArgument, extra] = process.argv.slice(2);
const buildDir = path.resolve(buildArgument || ".");
const bin = (name) => path.join(buildDir, name);
const work = fs.mkdtempSync(path.join(os.tmpdir(), "pageview-test-"));
let chromium = null;
let failed = false;

function fail(message) {
  console.error("FAILED: " + message);
  failed = true;
}

function findChromium() {
  const names = process.env.PAGEVIEW_CHROMIUM ? [process.env.PAGEVIEW_CHROMIUM] :
    ["chromium", "chromium-browser", "google-chrome"];
  for (const name of names) {
    for (const dir of name.includes("/") ? [""] : (process.env.PATH || "").split(":")) {
      const candidate = path.join(dir, name);
      try { fs.accessSync(candidate, fs.constants.X_OK); return candidate; } catch { /* next */ }
    }
  }
  return null;
}

// One browser, one tab, the protocol's commands and events on one socket.
class Browser {
  async start(executable) {
    const profile = path.join(work, "profile");
    this.process = spawn(executable, ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
      "--no-first-run", "--disable-background-networking", "--disable-component-update", "--disable-sync",
      "--user-data-dir=" + profile, "--remote-debugging-port=0", "--window-size=1280,1000", "about:blank"],
    { stdio: ["ignore", "ignore", "pipe"] });
    const url = await new Promise((resolve, reject) => {
      let text = "";
      const timer = setTimeout(() => reject(new Error("Chromium did not start: " + text.slice(-500))), 30000);
      this.process.stderr.on("data", (chunk) => {
        text += chunk;
        const match = /DevTools listening on (ws:\/\/\S+)/.exec(text);
        if (match) { clearTimeout(timer); resolve(match[1]); }
      });
      this.process.on("exit", (code) => reject(new Error("Chromium exited with " + code + ": " + text.slice(-500))));
    });
    this.socket = new WebSocket(url);
    await new Promise((resolve, reject) => { this.socket.onopen = resolve; this.socket.onerror = reject; });
    this.nextId = 1;
    this.pending = new Map();
    this.listeners = [];
    this.errors = [];
    this.socket.onmessage = (message) => {
      const reply = JSON.parse(message.data);
      if (reply.id && this.pending.has(reply.id)) {
        const { resolve, reject } = this.pending.get(reply.id);
        this.pending.delete(reply.id);
        if (reply.error) reject(new Error(JSON.stringify(reply.error))); else resolve(reply.result);
        return;
      }
      if (reply.method === "Runtime.exceptionThrown") this.errors.push(JSON.stringify(reply.params.exceptionDetails));
      if (reply.method === "Runtime.consoleAPICalled" && reply.params.type === "error")
        this.errors.push("console.error: " + JSON.stringify(reply.params.args));
      if (reply.method === "Log.entryAdded" && reply.params.entry.level === "error")
        this.errors.push("log: " + reply.params.entry.text + " " + (reply.params.entry.url || ""));
      for (const listener of this.listeners) listener(reply);
    };
    const { targetId } = await this.send("Target.createTarget", { url: "about:blank" });
    const { sessionId } = await this.send("Target.attachToTarget", { targetId, flatten: true });
    this.session = sessionId;
    for (const domain of ["Page", "Runtime", "Log"]) await this.command(domain + ".enable");
  }
  send(method, params = {}, sessionId) {
    const id = this.nextId++;
    this.socket.send(JSON.stringify({ id, method, params, sessionId }));
    return new Promise((resolve, reject) => this.pending.set(id, { resolve, reject }));
  }
  command(method, params) { return this.send(method, params, this.session); }
  async evaluate(expression) {
    const result = await this.command("Runtime.evaluate", { expression, returnByValue: true, awaitPromise: true });
    if (result.exceptionDetails) throw new Error("evaluate " + expression + ": " + JSON.stringify(result.exceptionDetails));
    return result.result.value;
  }
  // Navigates to `url`, or reloads the page when `url` is null.
  async open(url) {
    const loaded = new Promise((resolve) => this.listeners.push((event) => {
      if (event.method === "Page.loadEventFired") resolve();
    }));
    await (url === null ? this.command("Page.reload") : this.command("Page.navigate", { url }));
    await loaded;
    this.listeners = [];
  }
  async waitFor(expression, what) {
    for (let tries = 0; tries < 200; ++tries) {
      if (await this.evaluate(expression)) return true;
      await new Promise((resolve) => setTimeout(resolve, 25));
    }
    fail("timed out waiting for " + what);
    return false;
  }
  async press(key) {
    const codes = { ArrowRight: 39, ArrowLeft: 37, Home: 36, End: 35 };
    const base = { key, code: key, windowsVirtualKeyCode: codes[key], nativeVirtualKeyCode: codes[key] };
    await this.command("Input.dispatchKeyEvent", { type: "rawKeyDown", ...base });
    await this.command("Input.dispatchKeyEvent", { type: "keyUp", ...base });
  }
  async stop() {
    if (!this.process) return;
    try { this.socket.close(); } catch { /* gone */ }
    if (this.process.exitCode !== null) return;
    const exited = new Promise((resolve) => this.process.on("exit", resolve));
    this.process.kill();
    await exited;
  }
}

function run(program, args, options = {}) {
  return execFileSync(program, args, { cwd: work, encoding: "utf8", maxBuffer: 1 << 28, ...options });
}

function makePage(name, args) {
  const file = path.join(work, name);
  run(bin("pageview"), [...args, "-o", file]);
  return "file://" + file;
}

// pagesim's breakpoint display from `from` on: the tables after each record,
// as the lines it prints, by record.
function displayTables(trace, mode, from) {
  const dir = fs.mkdtempSync(path.join(work, "pagesim-"));
  fs.copyFileSync(trace, path.join(dir, "data.txt"));
  const text = execFileSync("sh", ["-c", `yes '' | "${bin("pagesim")}" ${mode} ${from} 2>/dev/null`],
    { cwd: dir, encoding: "utf8", maxBuffer: 1 << 30 });
  const tables = new Map();
  let record = null;
  for (const line of text.split("\n")) {
    const start = /^Break at Line (\d+),/.exec(line);
    if (start) { record = Number(start[1]); tables.set(record, []); continue; }
    if (record !== null && /^ {3}(TLB|Physical Page) /.test(line)) tables.get(record).push(line.trim());
  }
  return tables;
}

// The page's tables in the display's words, built from the cells shown.
const pageTablesScript = `(() => {
  const cell = (row, name) => row.querySelector("td." + name).textContent.trim();
  const lines = [];
  for (const row of document.querySelectorAll("#tlb-rows tr")) {
    const e = row.dataset.entry;
    lines.push(row.dataset.free === "1" ? "TLB " + e + " is free" : "TLB " + e + " process " +
      cell(row, "proc") + ", VA " + cell(row, "page") + ", PP " + cell(row, "frame"));
  }
  for (const row of document.querySelectorAll("#frame-rows tr")) {
    const f = row.dataset.frame;
    lines.push(row.dataset.free === "1" ? "Physical Page " + f + " is free" : "Physical Page " + f +
      ", Proc " + cell(row, "proc") + " Logical Page " + cell(row, "page") + " ref " +
      cell(row, "ref").split(" ")[0] + " dirty " + cell(row, "dirty").split(" ")[0]);
  }
  return lines;
})()`;

async function checkTables(browser) {
  // A mixed trace across its change from local to uniform references, with
  // terminations and evictions, in both modes.
  const trace = path.join(work, "mixed.txt");
  fs.writeFileSync(trace, run(bin("tracegen"), ["mixed", "50300", "11"]));
  const from = 49950;
  const records = [49950, 49951, 49999, 50000, 50001, 50002, 50037, 50100, 50177, 50249];
  for (const mode of [0, 1]) {
    const url = makePage("mixed" + mode + ".html", ["-m", String(mode), "-t", trace, "--from", String(from), "--count", "300"]);
    const display = displayTables(trace, mode, from);
    // Every record that ends a process is checked too.
    const ends = await (async () => {
      await browser.open(url + "#r=" + from);
      return browser.evaluate(`JSON.parse(document.getElementById("pageview-data").textContent).steps
        .map((s, i) => s[3] === 0 ? ${from} + i : 0).filter((r) => r > 0)`);
    })();
    for (const record of [...records, ...ends]) {
      await browser.evaluate(`location.hash = "#r=${record}"`);
      if (!(await browser.waitFor(`document.body.dataset.record === "${record}"`, "record " + record))) continue;
      const shown = await browser.evaluate(pageTablesScript);
      const expected = display.get(record);
      if (!expected || expected.length !== 28) { fail(`mode ${mode} record ${record}: the display printed ${expected && expected.length} table lines`); continue; }
      for (let k = 0; k < 28; ++k) {
        if (shown[k] !== expected[k])
          fail(`mode ${mode} record ${record}: the page shows "${shown[k]}", pagesim's display "${expected[k]}"`);
      }
    }
    console.log(`mode ${mode}: ${records.length + ends.length} records compared (${ends.length} terminations)`);
  }
}

async function checkKeys(browser) {
  const trace = path.join(work, "uniform.txt");
  fs.writeFileSync(trace, run(bin("tracegen"), ["uniform", "300", "5"]));
  const url = makePage("keys.html", ["-t", trace, "--from", "40", "--count", "100"]);
  await browser.open(url + "#r=57");
  const at = () => browser.evaluate(`[document.body.dataset.record, location.hash]`);
  let [record, hash] = await at();
  if (record !== "57" || hash !== "#r=57") fail(`opened at #r=57 but shows ${record} (${hash})`);
  const steps = [["ArrowRight", 58], ["ArrowRight", 59], ["ArrowLeft", 58], ["End", 139], ["ArrowRight", 139], ["Home", 40], ["ArrowLeft", 40]];
  for (const [key, wanted] of steps) {
    await browser.press(key);
    [record, hash] = await at();
    if (record !== String(wanted) || hash !== "#r=" + wanted) fail(`${key} shows ${record} (${hash}), not ${wanted}`);
  }
  // The slider takes the keys itself when it has the focus: still one record.
  await browser.evaluate(`document.getElementById("slider").focus()`);
  await browser.press("ArrowRight");
  [record] = await at();
  if (record !== "41") fail(`right arrow on the slider shows ${record}, not 41`);
  await browser.evaluate(`(() => { const box = document.getElementById("jump"); box.value = "123";
    document.getElementById("jump-form").requestSubmit(); })()`);
  [record, hash] = await at();
  if (record !== "123" || hash !== "#r=123") fail(`the jump to 123 shows ${record} (${hash})`);
  const title = await browser.evaluate(`document.getElementById("rec-title").textContent`);
  if (!title.startsWith("Record 123 ")) fail(`the jump shows the title "${title}"`);
  // A reload keeps the record.
  await browser.open(null);
  [record] = await at();
  if (record !== "123") fail(`a reload at #r=123 shows ${record}`);
  console.log("keys, slider, jump and reload checked");
}

// A log with one TLB line of record 222 changed (another entry), beside the
// trace it was made from.
function plantedLog() {
  const trace = path.join(work, "uniform.txt");
  fs.writeFileSync(trace, run(bin("tracegen"), ["uniform", "400", "9"]));
  const dir = fs.mkdtempSync(path.join(work, "theirs-"));
  fs.copyFileSync(trace, path.join(dir, "data.txt"));
  execFileSync(bin("pagesim"), ["0"], { cwd: dir, stdio: "ignore" });
  const lines = fs.readFileSync(path.join(dir, "out.txt"), "utf8").split("\n");
  const planted = lines.findIndex((l) => l.startsWith("TLB: line 222 "));
  if (planted < 0) { fail("record 222 logged no TLB line"); return null; }
  lines[planted] = lines[planted].replace(/Entry (\d)/, (m, e) => "Entry " + ((Number(e) + 1) % 8));
  const theirs = path.join(dir, "theirs.txt");
  fs.writeFileSync(theirs, lines.join("\n"));
  return { trace, theirs, line: lines[planted] };
}

async function checkTheirs(browser) {
  const planted = plantedLog();
  if (!planted) return;
  const { trace, theirs } = planted;
  const url = makePage("theirs.html", ["-t", trace, "--from", "150", "--count", "200", "--theirs", theirs]);
  await browser.open(url);
  const [record, marked, state, diffs] = await browser.evaluate(`[document.body.dataset.record,
    [...document.querySelectorAll("#theirs pre.diff")].map((p) => p.textContent),
    document.getElementById("diff-state").textContent,
    Object.keys(JSON.parse(document.getElementById("pageview-data").textContent).differ)]`);
  if (record !== "222") fail(`the page opens at ${record}, not at the difference, 222`);
  if (marked.length !== 1 || !marked[0].includes(planted.line)) fail(`marked lines: ${JSON.stringify(marked)}`);
  if (!state.includes("differ")) fail(`the record says their lines are "${state}"`);
  if (diffs.length !== 1 || diffs[0] !== String(222 - 150)) fail(`records marked different: ${diffs}`);
  await browser.evaluate(`location.hash = "#r=221"`);
  await browser.waitFor(`document.body.dataset.record === "221"`, "record 221");
  const same = await browser.evaluate(`[document.querySelectorAll("#theirs pre.diff").length,
    document.getElementById("diff-state").textContent]`);
  if (same[0] !== 0 || !same[1].includes("same")) fail(`record 221 shows ${JSON.stringify(same)}`);
  await browser.evaluate(`document.getElementById("next-diff").click()`);
  const after = await browser.evaluate(`document.body.dataset.record`);
  if (after !== "222") fail(`next difference from 221 goes to ${after}`);
  console.log("the planted difference is marked at record 222");
}

// pagediff --html: the page opens at the difference it reports, under its
// location and cause lines.
async function checkPagediff(browser) {
  const planted = plantedLog();
  if (!planted) return;
  const file = path.join(work, "pagediff.html");
  let report = "";
  try {
    run(bin("pagediff"), ["-t", planted.trace, "--html", file, planted.theirs]);
  } catch (error) {
    report = error.stdout;  // exit 1: a difference
  }
  await browser.open("file://" + file);
  const [record, heading, hidden, first] = await browser.evaluate(`[document.body.dataset.record,
    document.getElementById("heading").textContent, document.getElementById("heading").hidden,
    document.getElementById("slider").min]`);
  const top = report.split("\n").slice(0, 2).join("\n");
  if (!/: record 222: /.test(top)) fail(`pagediff reports ${JSON.stringify(top)}`);
  if (record !== "222") fail(`the page opens at ${record}, not at the difference, 222`);
  if (hidden || heading !== top) fail(`the page is headed ${JSON.stringify(heading)}, not ${JSON.stringify(top)}`);
  if (first !== "172") fail(`the window starts at ${first}, not 50 records before 222`);
  console.log("pagediff's page opens at record 222 under its finding");
}

async function checkScreenshot(browser) {
  // Named as pagesim names its trace: the picture shows the name.
  fs.writeFileSync(path.join(work, "data.txt"), run(bin("tracegen"), ["uniform", "300", "3"]));
  const url = makePage("shot.html", ["--count", "300"]);
  await browser.open(url + "#r=250");
  const { data } = await browser.command("Page.captureScreenshot", { format: "png" });
  if (extra) fs.writeFileSync(extra, Buffer.from(data, "base64"));
  // Drawn into a canvas in a blank page, where its pixels can be counted.
  await browser.open("about:blank");
  const [pixels, inked, coloured] = await browser.evaluate(`new Promise((resolve) => {
    const image = new Image();
    image.onload = () => {
      const canvas = document.createElement("canvas");
      canvas.width = image.width; canvas.height = image.height;
      const context = canvas.getContext("2d");
      context.drawImage(image, 0, 0);
      const bytes = context.getImageData(0, 0, image.width, image.height).data;
      let inked = 0, coloured = 0;
      for (let i = 0; i < bytes.length; i += 4) {
        const [r, g, b] = [bytes[i], bytes[i + 1], bytes[i + 2]];
        if (r + g + b < 600) ++inked;
        if (Math.max(r, g, b) - Math.min(r, g, b) > 60) ++coloured;
      }
      resolve([bytes.length / 4, inked, coloured]);
    };
    image.src = "data:image/png;base64,${data}";
  })`);
  if (inked < pixels / 50) fail(`the screenshot is nearly blank: ${inked} of ${pixels} pixels inked`);
  if (coloured < pixels / 500) fail(`the screenshot has almost no colour: ${coloured} pixels`);
  console.log(`screenshot: ${inked} of ${pixels} pixels inked, ${coloured} coloured`);
}

async function measure(browser) {
  const trace = path.resolve(extra);
  for (const mode of [0, 1]) {
    const file = path.join(work, "measure" + mode + ".html");
    run(bin("pageview"), ["-m", String(mode), "-t", trace, "--count", "5000", "-o", file]);
    const bytes = fs.statSync(file).size;
    const data = fs.readFileSync(file, "utf8").match(/id="pageview-data">([^]*?)<\/script>/)[1].length;
    const times = [];
    for (let run = 0; run < 5; ++run) {
      // From a blank page each time: the same address again would only move to the fragment.
      await browser.open("about:blank");
      await browser.open("file://" + file + "#r=2500");
      times.push(Number(await browser.evaluate(`document.body.dataset.readyMs`)));
    }
    times.sort((a, b) => a - b);
    console.log(`mode ${mode}: ${bytes} bytes (${(bytes / 5000).toFixed(1)} per record; data ${(data / 5000).toFixed(1)} per record), ` +
      `ready after ${times[2]} ms (median of 5; ${times.join(" ")})`);
  }
}

const cases = { tables: checkTables, keys: checkKeys, theirs: checkTheirs, pagediff: checkPagediff,
  screenshot: checkScreenshot, measure };
chromium = findChromium();
if (!chromium) {
  if (process.env.CI) { console.error("FAILED: no Chromium found (install the chromium package)"); process.exit(1); }
  console.log("skipped: no Chromium found (install the chromium package; in CI this fails)");
  process.exit(77);
}
const browser = new Browser();
try {
  await browser.start(chromium);
  await cases[caseName](browser);
  if (browser.errors.length > 0) fail("errors in the page's console:\n  " + browser.errors.join("\n  "));
} catch (error) {
  fail(error.stack || String(error));
} finally {
  await browser.stop();
  try { fs.rmSync(work, { recursive: true, force: true, maxRetries: 5 }); } catch { /* left in the temp folder */ }
}
process.exit(failed ? 1 : 0);
