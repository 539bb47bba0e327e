// Drives the page in headless Chromium (browser.mjs) against the native
// programs:
//   node tests/web/page_test.mjs WEB_DIR NATIVE_DIR
// WEB_DIR holds the page and the .wasm programs (build/web), NATIVE_DIR the
// native quadsolve and quadsolve-batch (build/release). Screenshots go to
// screenshots/ beside WEB_DIR (build/screenshots), which holds the page alone.
import {spawnSync} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {WASI} from 'node:wasi';

import {openPage} from './browser.mjs';

const [webDir, nativeDir] = process.argv.slice(2).map((dir) => path.resolve(dir));
const BATCH_LINES = 10000;
const shots = path.join(path.dirname(webDir), 'screenshots');
const failures = [];
const check = (ok, what) => {
  if (!ok) failures.push(what);
  return ok;
};

// Every outcome, the errors 106, 205 and 207, and the root texts' forms.
// Roots here are exact in two decimals, so a marker's place is the text's.
const EQUATIONS = [
  {eq: '1 -3 2', words: /two distinct real roots/i, shot: 'two-roots'},
  {eq: '-2 0 8', words: /two distinct real roots/i},
  {eq: '4 -2 -0.75', words: /two distinct real roots/i},
  {eq: '1 2 1', words: /double root/i, shot: 'double-root'},
  {eq: '1 0 1', words: /no real root/i, shot: 'no-real-root'},
  {eq: '0 2 -3', words: /linear/i},
  {eq: '0 1 -2e36', words: /linear/i},
  {eq: '0 5 0', words: /linear/i},
  {eq: '0 0 5', words: /no equation/i},
  {eq: '0 1 -1e99999', words: /linear/i, plot: false},
  {eq: 'x 1 2', words: /106.*not a well-formed number/, shot: 'error'},
  {eq: '1e5000 0 0', words: /205.*overflow/},
  {eq: '1e99999 -1e99999 0', words: /207.*invalid operation/},
];

const maskAddress = (line) => line.replace(/ at [0-9A-F]{8}$/, ' at ########');
const native = (program, input) =>
    spawnSync(path.join(nativeDir, program), {input, maxBuffer: 1 << 30}).stdout;

// The roots' markers mapped back through the x-axis ticks; each must be
// within a pixel of its label's value.
async function markersMatch(page, rootTexts) {
  const geometry = await page.evaluate(() => {
    const centre = (node) => {
      const box = node.getBoundingClientRect();
      return [box.x + box.width / 2, box.y + box.height / 2];
    };
    return {
      ticks: [...document.querySelectorAll('#plot .x-tick')].map(
          (tick) =>
              [Number(tick.dataset.value),
               centre(tick.querySelector('line'))[0],
    ]),
      roots: [...document.querySelectorAll('#plot .root')].map(
          (root) => ({
            text: root.querySelector('text').textContent,
            at: centre(root.querySelector('circle')),
          })),
      axisY: centre(document.querySelector('#plot .x-tick line'))[1],
    };
  });
  const [[v0, p0], [v1, p1]] = [geometry.ticks[0], geometry.ticks.at(-1)];
  const pixel = (value) => p0 + ((value - v0) * (p1 - p0)) / (v1 - v0);
  if (!check(geometry.roots.length === rootTexts.length, `root markers ${geometry.roots.length}`))
    return false;
  return geometry.roots.every(
      ({text, at}, i) => check(
          text === rootTexts[i] && Math.abs(at[0] - pixel(Number(text))) <= 1 &&
              Math.abs(at[1] - geometry.axisY) <= 1,
          `root ${rootTexts[i]}: marker "${text}" at ${at}, expected x ${pixel(Number(text))}, y ${
              geometry.axisY}`,
          ),
  );
}

async function oneEquation(page, row, first) {
  const expected = maskAddress(native('quadsolve', row.eq + '\n').toString().split('\r\n')[1]);
  if (!first) {
    await page.click('#eq', {clickCount: 3});
    await page.keyboard.press('Backspace');
    await page.locator('#eq').pressSequentially(row.eq);
  }
  const shown = await page.evaluate(() => ({
                                      answer: document.getElementById('answer').textContent,
                                      words: document.getElementById('outcome').textContent,
                                      search: location.search,
                                      plotted: !document.getElementById('plot').hidden,
                                    }));
  let ok = check(
      maskAddress(shown.answer) === expected,
      `${row.eq}: #answer "${shown.answer}", native "${expected}"`);
  ok = check(row.words.test(shown.words), `${row.eq}: words "${shown.words}"`) && ok;
  ok = check(
           shown.search === '?eq=' + encodeURIComponent(row.eq),
           `${row.eq}: link ${shown.search}`) &&
      ok;
  const rootTexts = /^-?\d/.test(expected) ? expected.split(' ').filter(Boolean).slice(1) : [];
  const plotWanted = row.plot !== false && (rootTexts.length > 0 || expected === '0');
  ok = check(shown.plotted === plotWanted, `${row.eq}: plot shown ${shown.plotted}`) && ok;
  if (plotWanted) ok = (await markersMatch(page, rootTexts)) && ok;
  if (row.shot) await page.screenshot({path: path.join(shots, row.shot + '.png'), fullPage: true});
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${row.eq.padEnd(20)} ${expected}`);
}

// Runs a WASI command module under Node with the file `input` as standard
// input; result: its standard output.
function underNodeWasi(module, input, work) {
  const output = path.join(work, 'node-wasi-output');
  const [stdin, stdout] = [fs.openSync(input, 'r'), fs.openSync(output, 'w')];
  const wasi =
      new WASI({version: 'preview1', args: ['quadsolve-batch'], stdin, stdout, returnOnExit: true});
  const instance = new WebAssembly.Instance(
      new WebAssembly.Module(fs.readFileSync(module)), {wasi_snapshot_preview1: wasi.wasiImport});
  wasi.start(instance);
  fs.closeSync(stdin);
  fs.closeSync(stdout);
  return fs.readFileSync(output);
}

// 10,000 lines of every kind, dropped on the page as a file; the download
// must be the native program's bytes.
async function manyEquations(page, work) {
  const kinds = [
    '1 -3 2', '1 2 1', '0 0 5', '1 0 1', '0 2 -3', 'x 1 2', '1e5000 0 0', '', '-0 0 7',
    '1 3e17 3e16'
  ];
  let seed = 20261208;
  const next = (n) => (seed = (seed * 1103515245 + 12345) % 2147483648) % n;
  const lines = [];
  for (let i = 0; i < BATCH_LINES; i++)
    lines.push(
        next(4) === 0 ? kinds[next(kinds.length)] :
                        `${next(19) - 9} ${(next(198000) - 99000) / 1000} ${next(199) - 99}`);
  const input = path.join(work, 'equations.txt');
  fs.writeFileSync(input, lines.join('\n') + '\n');
  const expected = native('quadsolve-batch', fs.readFileSync(input));

  // The drop as the page receives it: a DragEvent whose DataTransfer holds the file.
  await page.$eval(
      '#drop',
      (drop, text) => {
        const dataTransfer = new DataTransfer();
        dataTransfer.items.add(new File([text], 'equations.txt'));
        for (const type of ['dragenter', 'dragover', 'drop'])
          drop.dispatchEvent(new DragEvent(type, {dataTransfer, bubbles: true, cancelable: true}));
      },
      fs.readFileSync(input, 'latin1'),
  );
  await page.waitForSelector('#download:not([hidden])');

  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
  check(download.suggestedFilename() === 'equations.answers.txt', download.suggestedFilename());
  const got = fs.readFileSync(await download.path());
  // The same module under Node's WASI writes the same bytes; the native
  // program too, but for the error lines' code addresses, which are each
  // build's own.
  const wasm = underNodeWasi(path.join(webDir, 'quadsolve-batch.wasm'), input, work);
  const masked = (bytes) =>
      bytes.toString('latin1').replace(/( at )[0-9A-F]{8}\r/g, '$1########\r');
  const same = check(
                   Buffer.compare(got, wasm) === 0,
                   `download: ${got.length} bytes, under Node ${wasm.length}`) &&
      check(masked(got) === masked(expected),
            `download: ${got.length} bytes, native ${expected.length}`);
  const twos = expected.toString().split('\r\n').filter((line) => line.startsWith('2 ')).length;
  const counted = await page.$eval('#count2', (cell) => cell.textContent.replace(/\D/g, ''));
  check(Number(counted) === twos, `count of outcome 2: ${counted}, native ${twos}`);
  console.log(
      `${same ? 'ok  ' : 'FAIL'} ${BATCH_LINES} dropped lines: ${got.length} bytes, ` +
      'those of the module under Node and of the native program (addresses aside)');
}

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'quadsolve-web-'));
fs.mkdirSync(shots, {recursive: true});
const {page, close, errors} =
    await openPage(webDir, work, `?eq=${encodeURIComponent(EQUATIONS[0].eq)}`);
try {
  for (const [i, row] of EQUATIONS.entries()) await oneEquation(page, row, i === 0);
  await manyEquations(page, work);
  for (const error of errors) check(false, `page error: ${error}`);
} finally {
  await close();
  fs.rmSync(work, {recursive: true, force: true});
}
for (const failure of failures) console.log('FAIL: ' + failure);
console.log(
    failures.length ? `${failures.length} failures` : `all passed; screenshots in ${shots}`);
process.exit(failures.length ? 1 : 0);
