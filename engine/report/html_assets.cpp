// The HTML report's inline style sheet and script. The script only adds to a
// page that reads completely without it: it draws the canvas heatmaps of
// large matrices, shows their hover texts, and switches heatmaps between the
// items' own order and the clustered one.
#include "engine/report/html_report.h"

namespace engine::output {

namespace {

constexpr std::string_view kStyle = R"CSS(
:root { color-scheme: light; --ink: #1d1d1f; --muted: #5b5b66; --rule: #c9c9d1; --band: #f3f3f6; }
* { box-sizing: border-box; }
body { margin: 0; color: var(--ink); background: #fff;
  font: 15px/1.45 system-ui, -apple-system, "Segoe UI", Roboto, "Noto Sans", sans-serif; }
main { max-width: 1400px; margin: 0 auto; padding: 1rem 1.5rem 3rem; }
h1 { font-size: 1.5rem; margin: 0.5rem 0 1rem; }
h2 { font-size: 1.3rem; margin: 2rem 0 0.25rem; padding-bottom: 0.2rem; border-bottom: 2px solid var(--ink); }
h3 { font-size: 1.1rem; margin: 1.5rem 0 0.5rem; padding-bottom: 0.1rem; border-bottom: 1px solid var(--rule); }
section.heading { margin-left: 0.25rem; }
/* The heatmaps come first on the screen: the notes and summaries of a run,
   written before its matrix, are shown after it. */
section.procedure, section.heading { display: flex; flex-direction: column; }
section.procedure > .table-block:not(.matrix-block),
section.heading > .table-block:not(.matrix-block) { order: 1; }
p.command { margin: 0 0 0.75rem; color: var(--muted); font-size: 0.9rem; }
code { font-family: ui-monospace, "Cascadia Mono", "DejaVu Sans Mono", monospace; font-size: 0.92em; }
.table-block { margin: 1rem 0 1.5rem; }
.matrix-pair { display: flex; flex-wrap: wrap; gap: 1.5rem; align-items: flex-start; }
.table-scroll { overflow-x: auto; max-width: 100%; }
table { border-collapse: collapse; font-variant-numeric: tabular-nums; }
caption { caption-side: top; text-align: left; font-weight: 600; padding: 0 0 0.3rem; white-space: nowrap; }
th, td { padding: 0.15rem 0.6rem; vertical-align: top; white-space: nowrap; }
thead th { border-bottom: 1px solid var(--ink); text-align: left; font-weight: 600; }
thead th[scope=colgroup] { text-align: center; border-bottom: 1px solid var(--rule); }
tbody th { text-align: left; font-weight: 500; }
/* The row labels stay in view when a wide table is scrolled sideways; they
   need a background of their own to hide the cells passing under them. */
.table-scroll tbody th:first-child { position: sticky; left: 0; z-index: 1; background: #fff; }
tbody tr:nth-child(even) td, tbody tr:nth-child(even) th[scope=row] { background: var(--band); }
tbody tr:last-child > * { border-bottom: 1px solid var(--ink); }
table.pivot thead tr:first-child > * { border-top: 1px solid var(--ink); }
.num, th.num { text-align: right; }
td.corner { border-bottom: 1px solid var(--ink); }
sup.fn { font-size: 0.7em; color: var(--muted); margin-left: 0.1em; }
.footnotes { font-size: 0.85rem; color: var(--muted); margin-top: 0.3rem; }
.footnotes p { margin: 0.1rem 0; }
table.notes th { padding-left: 0; }
table.notes td { font-family: ui-monospace, "DejaVu Sans Mono", monospace; font-size: 0.88rem; }
.shortened { border-left: 4px solid #8a6d00; background: #fff8e1; padding: 0.35rem 0.6rem; margin: 0.3rem 0 0.6rem; max-width: 60rem; }
.message { margin: 0.75rem 0; padding: 0.4rem 0.75rem; border-left: 5px solid; border-radius: 2px; max-width: 60rem; }
.message p { margin: 0.1rem 0; }
.message .in-command { font-size: 0.85rem; color: var(--muted); }
.message.error { border-color: #b00020; background: #fdecee; }
.message.warning { border-color: #a65d00; background: #fff4e0; }
.message.note { border-color: #2b5fa8; background: #eef3fb; }
figure.heatmap { margin: 0; padding: 0.5rem 0.75rem 0.75rem; border: 1px solid var(--rule); border-radius: 4px; max-width: 100%; overflow-x: auto; }
figure.heatmap figcaption { font-size: 0.85rem; color: var(--muted); margin-bottom: 0.4rem; max-width: 40rem; }
.order-toggle { font-size: 0.85rem; margin-bottom: 0.4rem; }
.order-toggle label { margin-right: 0.8rem; cursor: pointer; }
.heatmap-body { display: flex; align-items: flex-start; }
svg.dendrogram { flex: none; display: block; }
figure.heatmap[data-order=own] svg.dendrogram { visibility: hidden; }
svg.heatmap-svg { display: block; font-family: inherit; }
svg.heatmap-svg text { fill: var(--ink); }
svg.heatmap-svg rect:hover { stroke: #000; stroke-width: 1.5; }
svg.legend { display: block; margin-top: 0.5rem; font-size: 11px; font-family: inherit; }
svg.legend text { fill: var(--ink); }
.heatmap-canvas-box { position: relative; display: inline-block; }
.heatmap-canvas-box canvas { display: block; height: auto; image-rendering: pixelated; border: 1px solid var(--rule); }
.heatmap-canvas-box canvas.shrunk { image-rendering: auto; }
.heatmap-tip { position: absolute; pointer-events: none; background: rgba(20,20,24,0.92); color: #fff;
  font-size: 0.8rem; padding: 0.2rem 0.45rem; border-radius: 3px; white-space: nowrap; z-index: 2; }
.heatmap-noscript, .heatmap-none { font-size: 0.85rem; color: var(--muted); }
@media print {
  body { font-size: 10pt; }
  main { max-width: none; padding: 0; }
  .order-toggle { display: none; }
  .table-scroll, figure.heatmap { overflow: visible; }
  figure.heatmap { break-inside: avoid; border: none; }
  h2, h3, caption { break-after: avoid; }
  * { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
}
)CSS";

constexpr std::string_view kScript = R"JS(
(function () {
  'use strict';
  var DECIMALS = { count: 0, percent: 1, coefficient: 3, correlation: 3, significance: 3 };

  function decode(text) {
    var raw = atob(text), bytes = new Uint8Array(raw.length);
    for (var i = 0; i < raw.length; i++) bytes[i] = raw.charCodeAt(i);
    return bytes;
  }
  function rgb(hex) {
    return [parseInt(hex.substr(1, 2), 16), parseInt(hex.substr(3, 2), 16), parseInt(hex.substr(5, 2), 16)];
  }
  function ownOrder(n) {
    var order = [];
    for (var i = 0; i < n; i++) order.push(i);
    return order;
  }
  function positions(order) {
    var pos = new Array(order.length);
    for (var k = 0; k < order.length; k++) pos[order[k]] = k;
    return pos;
  }
  function scientific(v) {
    var parts = v.toExponential(5).split('e');
    var mantissa = parts[0].replace(/\.?0+$/, ''), e = parseInt(parts[1], 10);
    return mantissa + 'e' + (e < 0 ? '-' : '+') + (Math.abs(e) < 10 ? '0' : '') + Math.abs(e);
  }
  // The shown text of a value kept in single precision (very large matrices
  // with too many distinct texts to list): the engine's rules for the format.
  function formatValue(v, format) {
    if (isNaN(v)) return '.';
    if (!isFinite(v)) return v > 0 ? 'Inf' : '-Inf';
    var a = Math.abs(v), text;
    if (a >= 1e15) return scientific(v) + (format === 'percent' ? '%' : '');
    if (format in DECIMALS) {
      text = v.toFixed(DECIMALS[format]);
      if (parseFloat(text) === 0) text = text.replace('-', '');
      return format === 'percent' ? text + '%' : text;
    }
    if (a !== 0 && a < 1e-4) return scientific(v);
    var e = parseInt(a.toExponential(5).split('e')[1], 10);
    text = v.toFixed(e >= 5 ? 0 : 5 - e);
    if (text.indexOf('.') >= 0) text = text.replace(/\.?0+$/, '');
    return text === '-0' ? '0' : text;
  }

  function setupSvg(figure) {
    var svg = figure.querySelector('svg.heatmap-svg');
    var n = parseInt(figure.getAttribute('data-n'), 10);
    var rects = svg.querySelector('g.cells').querySelectorAll('rect');
    var rows = svg.querySelectorAll('g.row-labels text');
    var cols = svg.querySelectorAll('g.col-labels text');
    var cell = parseFloat(rects[0].getAttribute('width'));
    return function (order) {
      var pos = positions(order);
      for (var k = 0; k < rects.length; k++) {
        rects[k].setAttribute('x', pos[k % n] * cell);
        rects[k].setAttribute('y', pos[Math.floor(k / n)] * cell);
      }
      for (var i = 0; i < n; i++) {
        rows[i].setAttribute('y', (pos[i] + 0.5) * cell);
        cols[i].setAttribute('transform', 'translate(' + (pos[i] + 0.5) * cell + ',-4) rotate(-90)');
      }
    };
  }

  function setupCanvas(figure) {
    var data = JSON.parse(figure.querySelector('script.heatmap-data').textContent);
    var n = data.n, bins = decode(data.bins), palette = data.palette.map(rgb);
    var entries = data.entries ? new DataView(decode(data.entries).buffer) : null;
    var values = data.values ? new DataView(decode(data.values).buffer) : null;
    var canvas = figure.querySelector('canvas'), tip = figure.querySelector('.heatmap-tip');
    var size = canvas.width / n, order = ownOrder(n);
    var grey = [150, 150, 150], hatchDark = [110, 110, 110], hatchLight = [224, 224, 224];
    function stored(i, j) {
      if (!data.symmetric) return i * n + j;
      return i >= j ? i * (i + 1) / 2 + j : j * (j + 1) / 2 + i;
    }
    function text(i, j) {
      var k = stored(i, j);
      if (entries) return data.texts[entries.getUint16(2 * k, true)];
      var v = values.getFloat32(4 * k, true);
      return formatValue(bins[k] === 255 && isNaN(v) ? NaN : v, data.format);
    }
    function draw() {
      var context = canvas.getContext('2d'), width = canvas.width;
      var image = context.createImageData(width, canvas.height), px = image.data;
      for (var r = 0; r < n; r++) {
        for (var q = 0; q < n; q++) {
          var bin = bins[stored(order[r], order[q])];
          for (var dy = 0; dy < size; dy++) {
            var o = ((r * size + dy) * width + q * size) * 4;
            for (var dx = 0; dx < size; dx++, o += 4) {
              var c = bin !== 255 ? palette[bin] : size < 4 ? grey : (dx + dy) % 4 === 0 ? hatchDark : hatchLight;
              px[o] = c[0]; px[o + 1] = c[1]; px[o + 2] = c[2]; px[o + 3] = 255;
            }
          }
        }
      }
      context.putImageData(image, 0, 0);
    }
    canvas.addEventListener('mousemove', function (event) {
      var box = canvas.getBoundingClientRect();
      var q = Math.floor((event.clientX - box.left) / box.width * n);
      var r = Math.floor((event.clientY - box.top) / box.height * n);
      if (q < 0 || r < 0 || q >= n || r >= n) { tip.hidden = true; return; }
      var i = order[r], j = order[q];
      tip.textContent = data.rows[i] + ' \u00d7 ' + data.columns[j] + ': ' + text(i, j);
      tip.style.left = (event.clientX - box.left + 12) + 'px';
      tip.style.top = (event.clientY - box.top + 12) + 'px';
      tip.hidden = false;
    });
    canvas.addEventListener('mouseleave', function () { tip.hidden = true; });
    figure.heatmapOrders = { clustered: data.clustered };
    return function (newOrder) { order = newOrder; draw(); };
  }

  function setup(figure) {
    var n = parseInt(figure.getAttribute('data-n'), 10);
    var large = figure.classList.contains('heatmap-large');
    var apply = large ? setupCanvas(figure) : setupSvg(figure);
    var clustered = large ? figure.heatmapOrders.clustered
                          : figure.getAttribute('data-clustered').split(' ').map(Number);
    var orders = { own: ownOrder(n), clustered: clustered };
    var initial = figure.getAttribute('data-order') === 'clustered' ? 'clustered' : 'own';
    apply(orders[initial]);
    var toggle = figure.querySelector('.order-toggle');
    toggle.hidden = false;
    toggle.addEventListener('change', function (event) {
      apply(orders[event.target.value] || orders.own);
      figure.setAttribute('data-order', event.target.value);
    });
    figure.setAttribute('data-order', initial);
    figure.setAttribute('data-ready', 'yes');
  }

  document.addEventListener('DOMContentLoaded', function () {
    var figures = document.querySelectorAll('figure.heatmap');
    for (var k = 0; k < figures.length; k++) {
      try { setup(figures[k]); } catch (error) { figures[k].setAttribute('data-error', String(error)); }
    }
  });
})();
)JS";

}  // namespace

std::string_view reportStyle() { return kStyle.substr(1); }
std::string_view reportScript() { return kScript.substr(1); }

}  // namespace engine::output
