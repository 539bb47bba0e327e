// The page as a person opens it: build/web served by python3 -m http.server
// on a free port, as the README shows, and Debian's Chromium, headless, with
// a fresh profile in `work`, which downloads nothing of its own.
import {spawn} from 'node:child_process';
import path from 'node:path';
import {chromium} from 'playwright-core';

const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';

function serve(webDir) {
  const server =
      spawn('python3', ['-u', '-m', 'http.server', '-d', webDir, '--bind', '127.0.0.1', '0'], {
        stdio: ['ignore', 'pipe', 'ignore'],
      });
  return new Promise((resolve, reject) => {
    let said = '';
    server.stdout.on('data', (data) => {
      const port = /port (\d+)/.exec((said += data));
      if (port) resolve([server, port[1]]);
    });
    server.on('exit', () => reject(new Error(`python3 -m http.server ended: ${said}`)));
  });
}

// Result: the page opened at index.html`search`, once its programs are
// loaded, the messages of the errors it throws, and `close`, which ends the
// browser and the server.
export async function openPage(webDir, work, search = '') {
  const [server, port] = await serve(webDir);
  const browser = await chromium.launchPersistentContext(path.join(work, 'profile'), {
    executablePath: CHROMIUM,
    headless: true,
    viewport: {width: 900, height: 1000},
    acceptDownloads: true,
    args: [
      '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'
    ],
  });
  const close = async () => {
    await browser.close();
    server.kill();
  };
  try {
    const page = await browser.newPage();
    const errors = [];
    page.on('pageerror', (error) => errors.push(error.message));
    await page.goto(`http://127.0.0.1:${port}/index.html${search}`);
    await page.waitForSelector('body[data-ready]');
    return {page, close, errors};
  } catch (error) {
    await close();
    throw error;
  }
}
