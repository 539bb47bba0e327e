// The page on a large file of equations, chosen with its file field: the
// time to the last answer, the peak resident size of each kind of Chromium
// process (sampled from ps every half second) and the answers compared with
// the native quadsolve-batch's (error lines' addresses aside):
//   node tests/web/large_file.mjs WEB_DIR NATIVE_DIR FILE
import {execFileSync, spawnSync} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

import {openPage} from './browser.mjs';

const [webDir, nativeDir, input] = process.argv.slice(2).map((name) => path.resolve(name));
const SAMPLE_MS = 500;
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'quadsolve-web-'));
const peaks = {};
const sample = () => {
  for (const line of execFileSync('ps', ['-eo', 'rss=,args=']).toString().split('\n')) {
    const [, size, args] = /^\s*(\d+) (.*)$/.exec(line) || [];
    if (!args || !/chromium/.test(args)) continue;
    const kind = (/--type=(\S+)/.exec(args) || [, 'browser'])[1] +
        ((/--utility-sub-type=(\S+)/.exec(args) || [, ''])[1]).replace(/^/, ' ').trimEnd();
    peaks[kind] = Math.max(peaks[kind] || 0, Number(size));
  }
};
const {page, close} = await openPage(webDir, work);
try {
  sample();
  const before = {...peaks};
  const timer = setInterval(sample, SAMPLE_MS);
  const start = process.hrtime.bigint();
  await page.setInputFiles('#file', input);
  await page.waitForSelector('#download:not([hidden])', {timeout: 0});
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  clearInterval(timer);
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
  const answers = path.join(work, 'answers');
  await download.saveAs(answers);
  const native = path.join(work, 'native');
  spawnSync(path.join(nativeDir, 'quadsolve-batch'), {
    stdio: [fs.openSync(input, 'r'), fs.openSync(native, 'w'), 'ignore'],
  });
  const same =
      spawnSync('bash', [
        '-c',
        'cmp <(sed -E "s/ at [0-9A-F]{8}\\r$//" "$1") <(sed -E "s/ at [0-9A-F]{8}\\r$//" "$2")',
        '-', answers, native
      ]).status === 0;
  const size = fs.statSync(input).size;
  console.log(`${(size / 2 ** 20).toFixed(1)} MiB in ${seconds.toFixed(1)} s: ${
      (size / 2 ** 20 / seconds).toFixed(1)} MiB/s; answers ${
      same ? 'the same as' : 'NOT the same as'} native's`);
  for (const kind of Object.keys(peaks).sort())
    console.log(`  ${kind}: ${((before[kind] || 0) / 1024).toFixed(0)} MiB before, peak ${
        (peaks[kind] / 1024).toFixed(0)} MiB`);
  process.exitCode = same ? 0 : 1;
} finally {
  await close();
  fs.rmSync(work, {recursive: true, force: true});
}
