// The page: one equation solved by quadsolve.wasm as it is typed, shown as
// the program's line, in words and as a plot; many equations answered by
// quadsolve-batch.wasm in a Worker (wasi.js), with progress, counts and the
// answers to download.
'use strict';

const OUTCOME_WORDS = {
  '-1': 'No equation: a and b are both zero, so there is nothing to solve (c is not examined).',
  0: 'No real root: the discriminant b² − 4ac is negative, the parabola stays clear of the x-axis.',
  1: 'A linear equation (a = 0): one root, −c / b.',
  2: 'Two distinct real roots.',
  3: 'One double root: the parabola touches the x-axis at its vertex.',
};
const ERROR_WORDS = {
  106: 'a coefficient is not a well-formed number',
  205: 'overflow: a coefficient or a root is beyond the range of a double (±1.8e308)',
  207: 'an invalid operation, such as infinity minus infinity, from infinite coefficients',
};
const errorWords = (code) =>
    `Run-time error ${code}: ${ERROR_WORDS[code] || 'a failed read or write'}.`;

const $ = (id) => document.getElementById(id);
const encoder = new TextEncoder();
const decoder = new TextDecoder();
let solverModule = null;

// ---- One equation -------------------------------------------------------

// Runs quadsolve.wasm on the typed text and a line end. Result: its output
// text and exit code, or the trap that ended it (exit code null).
function solve(text) {
  let input = encoder.encode(text + '\n');
  let output = '';
  const io = {
    args: ['quadsolve'],
    read(length) {
      const piece = input.subarray(0, length);
      input = input.subarray(piece.length);
      return piece;
    },
    write(fd, bytes) {
      if (fd === 1) output += decoder.decode(bytes);
    },
  };
  try {
    const exitCode = runWasi(solverModule, io);
    return {output, exitCode};
  } catch (trap) {
    return {output, exitCode: null, trap};
  }
}

// The coefficients as doubles for drawing, by the program's token rules:
// tokens separated by bytes 0 to 32, byte 26 ends the input, a coefficient
// missing counts as 0, digits left out read as 0. Malformed: null.
function coefficients(text) {
  const tokens = text.split('\x1a')[0].split(/[\x00-\x20]+/).filter((token) => token !== '');
  const values = [];
  for (let i = 0; i < 3; i++) {
    const token = tokens[i];
    if (token === undefined) {
      values.push(0);
      continue;
    }
    const parts = /^([+-]?)(\d*)(?:\.(\d*))?(?:[eE]([+-]?\d+))?$/.exec(token);
    if (!parts) return null;
    const [, sign, whole, fraction, exponent] = parts;
    values.push(Number(`${sign}${whole || '0'}.${fraction || '0'}e${exponent || '0'}`));
  }
  return values;
}

// The plot's drawing area in SVG units.
const PLOT = {
  width: 640,
  height: 400,
  left: 56,
  right: 16,
  top: 16,
  bottom: 36
};
const SVG = 'http://www.w3.org/2000/svg';

function element(name, attributes, text) {
  const node = document.createElementNS(SVG, name);
  for (const [key, value] of Object.entries(attributes)) node.setAttribute(key, value);
  if (text !== undefined) node.textContent = text;
  return node;
}

// Tick values over [low, high]: steps of 1, 2 or 5 times a power of ten,
// about eight of them.
function ticks(low, high) {
  const rough = (high - low) / 8;
  const power = 10 ** Math.floor(Math.log10(rough));
  const step = [1, 2, 5, 10].map((m) => m * power).find((s) => s >= rough);
  const list = [];
  for (let value = Math.ceil(low / step) * step; value <= high + step * 1e-9; value += step)
    list.push(Math.abs(value) < step * 1e-9 ? 0 : value);
  return list;
}

const tickText = (value) => {
  if (value === 0) return '0';
  const size = Math.abs(value);
  return size >= 1e5 || size < 1e-3 ? value.toExponential(1) : String(Number(value.toPrecision(6)));
};

// Draws y = a·x² + b·x + c with the roots (their positions from the doubles,
// their labels the program's texts) and the vertex. Returns false, drawing
// nothing, where the curve cannot be drawn in doubles.
function drawPlot(svg, [a, b, c], outcome, rootTexts) {
  svg.replaceChildren();
  const f = (x) => (a * x + b) * x + c;
  let roots;
  let vertex = null;
  let low;
  let high;
  if (outcome === 1) {
    roots = [-c / b];
    const spread = Math.max(Math.abs(roots[0]), 1);
    [low, high] = [roots[0] - spread, roots[0] + spread];
  } else {
    const xv = -b / (2 * a);
    vertex = [xv, f(xv)];
    const d = b * b - 4 * a * c;
    const root = Math.sqrt(Math.max(d, 0));
    roots =
        outcome === 2 ? [(-b - root) / (2 * a), (-b + root) / (2 * a)].sort((p, q) => p - q) : [];
    if (outcome === 3) roots = [xv];
    let spread;
    if (outcome === 2)
      spread = roots[1] - roots[0];
    else if (outcome === 3)
      spread = Math.max(Math.abs(xv), 1);
    else
      spread = 2 * Math.sqrt(Math.abs(vertex[1] / a));
    [low, high] = [xv - spread, xv + spread];
  }
  // Where the doubles disagree with the program (a discriminant near zero),
  // the program's roots are marked.
  if (roots.length !== rootTexts.length || roots.some((x) => !Number.isFinite(x)))
    roots = rootTexts.map(Number);
  const samples = [];
  const COUNT = 240;
  for (let i = 0; i <= COUNT; i++) {
    const x = low + ((high - low) * i) / COUNT;
    samples.push([x, f(x)]);
  }
  const ys = samples.map(([, y]) => y).concat([0]);
  let bottom = Math.min(...ys);
  let top = Math.max(...ys);
  if (![low, high, bottom, top, ...roots].every(Number.isFinite) || !(high > low)) return false;
  if (top === bottom) [bottom, top] = [bottom - 1, top + 1];
  const margin = (top - bottom) * 0.08;
  [bottom, top] = [bottom - margin, top + margin];
  const innerWidth = PLOT.width - PLOT.left - PLOT.right;
  const innerHeight = PLOT.height - PLOT.top - PLOT.bottom;
  const sx = (x) => PLOT.left + ((x - low) / (high - low)) * innerWidth;
  const sy = (y) => PLOT.top + ((top - y) / (top - bottom)) * innerHeight;
  const number = (value) => value.toFixed(2);

  // Axes: x at y = 0, y at x = 0 where it is in view, else at the left edge.
  const axisX = low <= 0 && 0 <= high ? sx(0) : PLOT.left;
  const axes = element('g', {class: 'axes'});
  axes.append(element('line', {x1: PLOT.left, x2: PLOT.width - PLOT.right, y1: sy(0), y2: sy(0)}));
  axes.append(element('line', {x1: axisX, x2: axisX, y1: PLOT.top, y2: PLOT.height - PLOT.bottom}));
  for (const value of ticks(low, high)) {
    const x = sx(value);
    const tick = element('g', {class: 'tick x-tick', 'data-value': value});
    tick.append(element('line', {x1: x, x2: x, y1: sy(0) - 4, y2: sy(0) + 4}));
    tick.append(element(
        'text', {x, y: PLOT.height - PLOT.bottom + 22, 'text-anchor': 'middle'}, tickText(value)));
    axes.append(tick);
  }
  for (const value of ticks(bottom, top)) {
    const y = sy(value);
    const tick = element('g', {class: 'tick y-tick', 'data-value': value});
    tick.append(element('line', {x1: axisX - 4, x2: axisX + 4, y1: y, y2: y}));
    tick.append(
        element('text', {x: PLOT.left - 8, y: y + 4, 'text-anchor': 'end'}, tickText(value)));
    axes.append(tick);
  }
  svg.append(axes);

  const path =
      samples.map(([x, y], i) => `${i ? 'L' : 'M'}${number(sx(x))} ${number(sy(y))}`).join('');
  svg.append(element('path', {class: 'curve', d: path}));
  if (vertex) {
    const [x, y] = [sx(vertex[0]), sy(vertex[1])];
    const mark = element('g', {class: 'vertex'});
    mark.append(element('rect', {x: x - 4, y: y - 4, width: 8, height: 8}));
    const above = vertex[1]<0 === a>0 ? 18 : -10;
    mark.append(
        element(
            'text', {x, y: y + (outcome === 3 ? 34 : above), 'text-anchor': 'middle'}, 'vertex'),
    );
    svg.append(mark);
  }
  roots.forEach((root, i) => {
    const [x, y] = [sx(root), sy(0)];
    const mark = element('g', {class: 'root', 'data-text': rootTexts[i]});
    mark.append(element('circle', {cx: x, cy: y, r: 5}));
    const label = element('text', {x, y: y + (i % 2 ? 20 : -10), 'text-anchor': 'middle'});
    label.textContent = rootTexts[i];
    mark.append(label);
    svg.append(mark);
  });
  return true;
}

function show(text) {
  const {output, exitCode, trap} = solve(text);
  // The first line is the program's empty line; the second its answer.
  const lines = output.split('\r\n');
  const line = lines[1] !== undefined ? lines[1] : output;
  $('answer').textContent = line;
  const svg = $('plot');
  svg.replaceChildren();
  let words;
  let why = '';
  const fields = line.split(' ').filter((field) => field !== '');
  const code = fields[0];
  const values = coefficients(text);
  const error = /^Runtime error +(\d+)/.exec(line);
  if (trap) {
    words = `The program stopped: ${trap.message}.`;
    why = 'No plot: the program ended without an answer.';
  } else if (error || exitCode !== 0) {
    words = errorWords(error ? error[1] : exitCode);
    why = 'No plot: the program ended with an error.';
  } else if (code in OUTCOME_WORDS) {
    words = OUTCOME_WORDS[code];
    const rootTexts = fields.slice(1);
    if (code === '-1')
      why = 'No plot: with a = b = 0 there is no curve to draw.';
    else if (rootTexts.some((root) => /Inf|Nan/i.test(root)))
      why = 'No plot: a root is infinite.';
    else if (!values || !drawPlot(svg, values, Number(code), rootTexts))
      why = 'No plot: the numbers are too large to draw.';
  } else {
    words = 'The program wrote no answer.';
  }
  $('outcome').textContent = words;
  $('plot-note').textContent = why;
  svg.hidden = why !== '';
  const [a, b, c] = values || [];
  $('plot-title').textContent = why ? '' : `Plot of y = ${a}·x² + ${b}·x + ${c}`;
  $('plot-desc').textContent = why ? '' : `${words} Result line: ${line}`;
}

function update() {
  const text = $('eq').value;
  const url = new URL(location.href);
  url.search = text ? '?eq=' + encodeURIComponent(text) : '';
  history.replaceState(null, '', url);
  $('link').href = url.href;
  $('link').textContent = url.href;
  show(text);
}

// ---- Many equations -----------------------------------------------------

let worker = null;
let batchModule = null;
let workerScript = null;  // wasi.js as a Blob URL: a new Worker needs no network
let download = null;

function startWorker() {
  worker = new Worker(workerScript);
  worker.postMessage({module: batchModule});
  worker.onmessage = (event) => report(event.data);
}

function showCounts({counts, errors}) {
  for (const code of Object.keys(counts))
    $(`count${code}`).textContent = counts[code].toLocaleString();
  const list = Object.entries(errors).map(([code, n]) => `${n.toLocaleString()} × ${code}`);
  $('count-errors').textContent = list.length ? list.join(', ') : '0';
}

function report(message) {
  showCounts(message);
  const progress = $('progress');
  progress.max = message.total || 1;
  if (!message.done) {
    progress.value = message.progress;
    $('batch-status').textContent =
        `${Math.floor((100 * message.progress) / (message.total || 1))} % read`;
    return;
  }
  progress.value = progress.max;
  $('stop').hidden = true;
  if (message.trap) {
    $('batch-status').textContent = `The program stopped: ${message.trap}`;
    return;
  }
  if (download) URL.revokeObjectURL(download);
  download = URL.createObjectURL(message.output);
  const link = $('download');
  link.href = download;
  link.hidden = false;
  link.textContent = `Download the answers (${message.output.size.toLocaleString()} bytes)`;
  // A word on standard error is the program's own failure (a file in UTF-16,
  // a failed read), not a line's.
  $('batch-status').textContent = message.exitCode === 0 ?
      'Done: every line got its result line.' :
      message.stderr ?
      `Stopped, exit status ${message.exitCode}: ${message.stderr.trim()}` :
      `Done, exit status ${message.exitCode}: a line ended in a run-time error.`;
}

function answerMany(input, name) {
  $('download').hidden = true;
  $('download').download = name.replace(/(\.[^.]*)?$/, '.answers$1') || 'answers.txt';
  $('progress').value = 0;
  $('batch-status').textContent = `Solving ${name}…`;
  $('stop').hidden = false;
  showCounts({counts: {'-1': 0, 0: 0, 1: 0, 2: 0, 3: 0}, errors: {}});
  worker.postMessage({input});
}

function setUpMany() {
  $('file').addEventListener('change', () => {
    const file = $('file').files[0];
    if (file) answerMany(file, file.name);
  });
  const drop = $('drop');
  drop.addEventListener('dragover', (event) => {
    event.preventDefault();
    drop.classList.add('over');
  });
  drop.addEventListener('dragleave', () => drop.classList.remove('over'));
  drop.addEventListener('drop', (event) => {
    event.preventDefault();
    drop.classList.remove('over');
    const file = event.dataTransfer.files[0];
    if (file) answerMany(file, file.name);
  });
  $('solve-lines').addEventListener('click', () => {
    answerMany(new Blob([$('lines').value]), 'pasted.txt');
  });
  $('stop').addEventListener('click', () => {
    worker.terminate();
    startWorker();
    $('stop').hidden = true;
    $('batch-status').textContent = 'Stopped.';
  });
}

// ---- Start --------------------------------------------------------------

async function load(name) {
  const response = await fetch(name);
  if (!response.ok) throw new Error(`${name}: ${response.status} ${response.statusText}`);
  return response.arrayBuffer();
}
const compile = async (name) => WebAssembly.compile(await load(name));

async function start() {
  try {
    let script;
    [solverModule, batchModule, script] = await Promise.all(
        [compile('quadsolve.wasm'), compile('quadsolve-batch.wasm'), load('wasi.js')]);
    workerScript = URL.createObjectURL(new Blob([script], {type: 'text/javascript'}));
  } catch (error) {
    $('outcome').textContent = `The programs could not be loaded: ${error.message}`;
    return;
  }
  startWorker();
  setUpMany();
  const field = $('eq');
  field.addEventListener('input', update);
  for (const button of document.querySelectorAll('.example'))
    button.addEventListener('click', () => {
      field.value = button.textContent;
      update();
    });
  const given = new URLSearchParams(location.search).get('eq');
  field.value = given !== null ? given : '1 -3 2';
  update();
  document.body.dataset.ready = 'true';
}

start();
