"use strict";
// Replays the changes each record made, as pagesim's model reported them, and
// shows the tables after any record of the window.
(function () {
  const data = JSON.parse(document.getElementById("pageview-data").textContent);
  const FRAMES = data.before.frames.length;
  const ENTRIES = data.before.tlb.length;
  const count = data.steps.length;
  const first = data.first;
  const $ = (id) => document.getElementById(id);
  const el = (tag, attrs, text) => {
    const node = document.createElement(tag);
    for (const key in attrs || {}) node.setAttribute(key, attrs[key]);
    if (text !== undefined) node.textContent = text;
    return node;
  };

  // The tables after each record, from the ones before the window.
  function startState(b) {
    return { tlb: b.tlb.map((e) => e.slice()), frames: b.frames.map((f) => f.slice()),
      ref: b.ref, dirty: b.dirty, hand: b.hand, clock: b.clock, counts: b.counts.slice(),
      next: b.next, line: 0 };
  }
  const states = [];
  const steps = [];
  let state = startState(data.before);
  const before = state;
  for (let i = 0; i < count; ++i) {
    const s = data.steps[i];
    const next = { tlb: state.tlb.map((e) => e.slice()), frames: state.frames.map((f) => f.slice()),
      ref: s[9] < 0 ? state.ref : s[9], dirty: s[10] < 0 ? state.dirty : s[10], hand: s[11],
      clock: state.clock + s[14], counts: state.counts.slice(), next: s[12], line: state.line + s[0] };
    for (const c of s[7]) {
      const entry = next.tlb[c[0]];
      if (c.length === 5) { entry[0] = c[1]; entry[1] = c[2]; entry[2] = c[3]; }
      const code = c[c.length - 1];
      entry[3] = code === -1 ? -1 : state.clock + code;
    }
    for (const c of s[8]) { next.frames[c[0]][0] = c[1]; next.frames[c[0]][1] = c[2]; }
    next.counts[0] += Math.floor(s[13] / 9);
    next.counts[1] += Math.floor(s[13] / 3) % 3;
    next.counts[2] += s[13] % 3;
    steps.push({ record: first + i, line: next.line, column: s[1], fields: [s[2], s[3], s[4]],
      converted: s[5], refs: s[6].map((r) => ({ outcome: r[0], entry: r[1], page: r[2], frame: r[3],
        messages: r[4], scanStart: r[5], scanBits: r[6], cleared: r[7] })) });
    states.push(next);
    state = next;
  }
  const recordsWith = (test) => steps.filter(test).map((s) => s.record);
  const faults = recordsWith((s) => s.refs.some((r) => r.outcome >= 2));
  const evictions = recordsWith((s) => s.refs.some((r) => r.outcome === 3));
  const differences = Object.keys(data.differ).map((k) => first + Number(k)).sort((a, b) => a - b);

  function eventLines(i) {
    if (data.logged[i]) return data.logged[i];
    const s = steps[i];
    const lines = [];
    for (const r of s.refs) {
      if (r.outcome === 0) continue;
      const mapping = " proc " + s.fields[0] + " LP " + r.page + " PP " + r.frame;
      if (r.outcome >= 2) lines.push("Page Fault: line " + s.record + mapping);
      lines.push("TLB: line " + s.record + " Entry " + r.entry + mapping);
    }
    return lines;
  }

  const modeName = data.mode === 0 ? "second-chance clock" : "clean-first clock";
  $("title").textContent = "pageview: " + data.trace + ", mode " + data.mode + " (" + modeName +
    "), records " + first + " to " + (first + count - 1);
  document.title = $("title").textContent;
  if (data.heading) { $("heading").textContent = data.heading; $("heading").hidden = false; }
  const notes = data.notes.slice();
  notes.push(data.trace + " has " + data.records + " records that pagesim reads.");
  if (data.theirs) {
    notes.push(differences.length === 0 ? "Your lines match pagesim's in every record shown." :
      "Your lines differ from pagesim's in " + differences.length + " of the records shown, first in record " +
      differences[0] + ".");
  }
  $("notes").textContent = notes.join(" ");
  const slider = $("slider");
  slider.min = first; slider.max = first + count - 1;
  $("jump").min = first; $("jump").max = first + count - 1;
  if (!data.theirs) { $("next-diff").hidden = true; $("theirs-box").hidden = true; }

  function describeRecord(s) {
    const [proc, a, b] = s.fields;
    const where = data.trace + ":" + (s.line || "?") + ":" + (s.column || "?");
    $("rec-title").textContent = "Record " + s.record + " of " + data.records;
    $("rec-text").textContent = where + ": " + proc + " " + a + " " + b;
    let meaning;
    if (s.refs.length === 0) {
      meaning = "Process " + proc + " ends (a read address of 0): its TLB entries and frames are freed.";
    } else {
      meaning = "Process " + proc + " reads address " + a + " (page " + s.refs[0].page +
        "), then writes address " + b + " (page " + s.refs[1].page + ").";
    }
    if (s.converted < 3) meaning += " The trace ends inside this record: only " + s.converted +
      " of its numbers are read, the others keep their values.";
    $("rec-meaning").textContent = meaning;
  }

  // The page a frame held just before reference `which` of record i.
  function ownerBefore(i, which, frame) {
    if (which === 1 && readFaultedInto(i, frame)) return [steps[i].fields[0], steps[i].refs[0].page];
    return (i === 0 ? before : states[i - 1]).frames[frame];
  }
  function readFaultedInto(i, frame) {
    const r = steps[i].refs[0];
    return r.outcome >= 2 && r.frame === frame;
  }

  function describeRefs(i) {
    const s = steps[i];
    const list = $("refs");
    list.replaceChildren();
    s.refs.forEach((r, which) => {
      const name = which === 0 ? "Read" : "Write";
      let text = name + " of page " + r.page + ": ";
      if (r.outcome === 0) text += "TLB hit in entry " + r.entry + ", frame " + r.frame + ".";
      else if (r.outcome === 1) text += "TLB miss; the page was in frame " + r.frame +
        ": loaded into TLB entry " + r.entry + ".";
      else if (r.outcome === 2) text += "TLB miss and page fault: into free frame " + r.frame +
        ", the lowest free one; TLB entry " + r.entry + ".";
      else {
        const owner = ownerBefore(i, which, r.frame);
        text += "TLB miss and page fault, no frame free: evicts frame " + r.frame +
          " (process " + owner[0] + " page " + owner[1] + "); TLB entry " + r.entry + ".";
      }
      if (r.messages > 0) text += " pagesim printed \u201cError, bad frame number\u201d " +
        (r.messages === 1 ? "once" : r.messages + " times") + ": the page is outside 0..63.";
      list.append(el("li", {}, text));
    });
    if (s.refs.length === 0) list.append(el("li", {}, "No references: the record ends its process."));
  }

  function scanAction(k, r, d, taken, cleared) {
    if (data.mode === 0) {
      return taken ? "ref 0: taken, the victim" : "ref 1: second chance, ref cleared, passed";
    }
    if (k === 2 * FRAMES) return "two full turns found no frame to take: the scan stops at its " +
      "limit of " + 2 * FRAMES + " moves and takes the frame it stands on, the victim";
    if (k >= FRAMES) return taken ? "second turn, not dirty: taken, the victim"
      : "second turn, dirty: passed";
    if (taken) return "ref 0 dirty 0, clean: taken, the victim";
    return (r ? "referenced" : "dirty") + ", not clean: " + (cleared ? "ref cleared, " : "") + "passed";
  }

  function describeScans(i) {
    const box = $("scans");
    box.replaceChildren();
    steps[i].refs.forEach((r, which) => {
      if (r.outcome !== 3) return;
      const heading = el("h3", {}, (which === 0 ? "Read" : "Write") + ": the clock scan from frame " +
        r.scanStart + (data.mode === 0 ? " (second chance)" :
          " (clean-first: a frame neither referenced nor dirty; the first turn clears ref bits)"));
      const table = el("table", { class: "scan" });
      const head = el("tr");
      for (const h of ["move", "frame", "ref met", "dirty met", "what the scan did"]) head.append(el("th", {}, h));
      table.append(head);
      for (let k = 0; k < r.scanBits.length; ++k) {
        const bits = Number(r.scanBits[k]);
        const frame = (r.scanStart + k) % FRAMES;
        const taken = k === r.scanBits.length - 1;
        const cleared = ((r.cleared >>> frame) & 1) === 1 && k < FRAMES;
        const row = el("tr", taken ? { class: "loaded" } : {});
        row.append(el("td", {}, String(k)), el("td", {}, String(frame)),
          el("td", {}, String(bits >> 1)), el("td", {}, String(bits & 1)),
          el("td", { class: "mark" }, (taken ? "\u25c0 " : "") + scanAction(k, bits >> 1, bits & 1, taken, cleared)));
        table.append(row);
      }
      box.append(heading, table);
    });
    if (!box.firstChild) box.append(el("p", {}, "No eviction in this record."));
  }

  function describeEvents(i) {
    const ours = eventLines(i);
    const theirs = data.differ[i];
    const ourBox = $("ours");
    ourBox.replaceChildren();
    const show = (box, lines, other) => {
      if (lines.length === 0) box.append(el("pre", {}, "(no lines)"));
      lines.forEach((line, k) => {
        const differs = other !== undefined && other[k] !== line;
        box.append(el("pre", differs ? { class: "diff" } : {}, (differs ? "\u2260 " : "  ") + line));
      });
    };
    show(ourBox, ours, theirs);
    const messages = steps[i].refs.reduce((n, r) => n + r.messages, 0);
    for (let k = 0; k < messages; ++k) ourBox.append(el("pre", {}, "  Error, bad frame number  (console)"));
    if (!data.theirs) return;
    const theirBox = $("theirs");
    theirBox.replaceChildren();
    $("diff-state").textContent = theirs === undefined ? "the same as pagesim's" :
      "differ from pagesim's (marked \u2260)";
    show(theirBox, theirs === undefined ? ours : theirs, theirs === undefined ? undefined : ours);
  }

  function describeTlb(i) {
    const now = states[i];
    const rows = $("tlb-rows");
    rows.replaceChildren();
    const loaded = new Set(), hit = new Set();
    for (const r of steps[i].refs) (r.outcome === 0 ? hit : loaded).add(r.entry);
    for (let e = 0; e < ENTRIES; ++e) {
      const [proc, page, frame, lastUse] = now.tlb[e];
      const free = frame < 0;
      const marks = [];
      if (loaded.has(e)) marks.push("\u2605 loaded");
      if (hit.has(e)) marks.push("\u2713 hit");
      if (e === now.next) marks.push(lastUse < 0 ? "\u2192 next load (empty, lowest first)" :
        "\u2192 least recently used: next load");
      if (!free && lastUse < 0) marks.push("empty: shot down");
      const row = el("tr", { "data-entry": e, "data-free": free ? "1" : "0",
        class: loaded.has(e) ? "loaded" : hit.has(e) ? "hit" : free ? "free" : "" });
      row.append(el("td", {}, String(e)));
      if (free) {
        row.append(el("td", { class: "proc" }, "free"), el("td", { class: "page" }, ""),
          el("td", { class: "frame" }, ""));
      } else {
        row.append(el("td", { class: "proc" }, String(proc)), el("td", { class: "page" }, String(page)),
          el("td", { class: "frame" }, String(frame)));
      }
      row.append(el("td", { class: "last-use" }, String(lastUse)), el("td", { class: "mark" }, marks.join(", ")));
      rows.append(row);
    }
  }

  function describeFrames(i) {
    const now = states[i];
    const rows = $("frame-rows");
    rows.replaceChildren();
    const loaded = new Set(), victims = new Set();
    for (const r of steps[i].refs) {
      if (r.outcome >= 2) loaded.add(r.frame);
      if (r.outcome === 3) victims.add(r.frame);
    }
    const ring = $("ring-slots");
    ring.replaceChildren();
    const ns = "http://www.w3.org/2000/svg";
    const svg = (tag, attrs, text) => {
      const node = document.createElementNS(ns, tag);
      for (const key in attrs) node.setAttribute(key, attrs[key]);
      if (text !== undefined) node.textContent = text;
      return node;
    };
    for (let f = 0; f < FRAMES; ++f) {
      const [proc, page] = now.frames[f];
      const free = page < 0;
      const ref = (now.ref >>> f) & 1, dirty = (now.dirty >>> f) & 1;
      const marks = [];
      if (f === now.hand) marks.push("\u25b2 hand");
      if (victims.has(f)) marks.push("\u2715 evicted, \u2605 loaded");
      else if (loaded.has(f)) marks.push("\u2605 loaded");
      const row = el("tr", { "data-frame": f, "data-free": free ? "1" : "0",
        class: loaded.has(f) ? "loaded" : free ? "free" : "" });
      row.append(el("td", {}, String(f)));
      if (free) {
        row.append(el("td", { class: "proc" }, "free"), el("td", { class: "page" }, ""),
          el("td", { class: "ref" }, ""), el("td", { class: "dirty" }, ""));
      } else {
        row.append(el("td", { class: "proc" }, String(proc)), el("td", { class: "page" }, String(page)),
          el("td", { class: "ref" + (ref ? " bit-on" : "") }, ref ? "1 R" : "0"),
          el("td", { class: "dirty" + (dirty ? " dirty-on" : "") }, dirty ? "1 D" : "0"));
      }
      row.append(el("td", { class: "mark" }, marks.join(", ")));
      rows.append(row);

      const angle = (2 * Math.PI * f) / FRAMES - Math.PI / 2;
      const x = 250 + 212 * Math.cos(angle), y = 250 + 212 * Math.sin(angle);
      const cls = "slot" + (free ? " free" : "") + (!free && ref ? " ref" : "") +
        (!free && dirty ? " dirty" : "") + (loaded.has(f) ? " loaded" : "");
      const group = svg("g", { "data-frame": f });
      group.append(svg("rect", { class: cls, x: x - 27, y: y - 21, width: 54, height: 42, rx: 5 }));
      group.append(svg("text", { x: x, y: y - 8, "text-anchor": "middle", "font-weight": "bold" },
        "frame " + f));
      group.append(svg("text", { x: x, y: y + 5, "text-anchor": "middle" },
        free ? "free" : "P" + proc + " L" + page));
      group.append(svg("text", { x: x, y: y + 17, "text-anchor": "middle" },
        free ? "" : (ref ? "R" : "-") + " " + (dirty ? "D" : "-") + (loaded.has(f) ? " \u2605" : "")));
      ring.append(group);
    }
    const angle = (2 * Math.PI * now.hand) / FRAMES - Math.PI / 2;
    const hand = $("ring-hand");
    hand.setAttribute("x2", String(250 + 160 * Math.cos(angle)));
    hand.setAttribute("y2", String(250 + 160 * Math.sin(angle)));
    $("ring-label").textContent = "hand at " + now.hand;
  }

  let current = first;
  function show(record, fromHash) {
    record = Math.max(first, Math.min(first + count - 1, Math.round(record)));
    if (!Number.isFinite(record)) return;
    current = record;
    const i = record - first;
    describeRecord(steps[i]);
    describeRefs(i);
    describeEvents(i);
    describeTlb(i);
    describeFrames(i);
    describeScans(i);
    const c = states[i].counts;
    $("counts").replaceChildren(el("span", {}, "TLB misses: " + c[0]), el("span", {}, "page faults: " + c[1]),
      el("span", {}, "dirty pages written: " + c[2]), el("span", {}, "references so far: " + states[i].clock));
    slider.value = String(record);
    slider.setAttribute("aria-valuetext", "record " + record);
    $("position").textContent = "record " + record + " (" + (i + 1) + " of " + count + ")";
    document.body.dataset.record = String(record);
    if (!fromHash && location.hash !== "#r=" + record) history.replaceState(null, "", "#r=" + record);
  }
  const nextIn = (list) => list.find((r) => r > current);
  const previousIn = (list) => list.filter((r) => r < current).pop();
  const goTo = (record) => { if (record !== undefined) show(record, false); };

  $("prev").onclick = () => goTo(current - 1);
  $("next").onclick = () => goTo(current + 1);
  $("next-fault").onclick = () => goTo(nextIn(faults));
  $("next-eviction").onclick = () => goTo(nextIn(evictions));
  $("next-diff").onclick = () => goTo(nextIn(differences));
  slider.oninput = () => goTo(Number(slider.value));
  $("jump-form").onsubmit = (event) => { event.preventDefault(); goTo(Number($("jump").value)); };
  document.addEventListener("keydown", (event) => {
    const target = event.target;
    if (event.ctrlKey || event.altKey || event.metaKey) return;
    if (target.tagName === "INPUT" && target.type !== "range") return;
    const keys = { ArrowLeft: () => current - 1, ArrowRight: () => current + 1, Home: () => first,
      End: () => first + count - 1, f: () => nextIn(faults), F: () => previousIn(faults),
      e: () => nextIn(evictions), E: () => previousIn(evictions),
      d: () => nextIn(differences), D: () => previousIn(differences) };
    if (!(event.key in keys)) return;
    event.preventDefault();  // the slider would move a second time
    goTo(keys[event.key]());
  });
  const fromHash = () => {
    const match = /^#r=(\d+)$/.exec(location.hash);
    return match ? Number(match[1]) : undefined;
  };
  window.addEventListener("hashchange", () => { const r = fromHash(); if (r !== undefined) show(r, true); });
  const opening = fromHash() ?? (data.open > 0 ? data.open : differences[0] ?? first);
  show(opening, false);
  document.body.dataset.readyMs = performance.now().toFixed(1);
})();
