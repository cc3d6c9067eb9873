// The system's Chromium, driven by playwright-core: nothing is downloaded, every run gets a fresh
// profile, and the browser is kept from reaching anything on its own (updates, sync, QUIC).
// `serviceWorkers: 'block'` keeps the site's service worker out, for tests of the page on its own.
import {mkdtempSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';

import {chromium} from 'playwright-core';

export async function launchBrowser({serviceWorkers = 'allow'} = {}) {
  const profile = mkdtempSync(join(tmpdir(), 'tarvelline-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.TVL_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    acceptDownloads: true,
    serviceWorkers,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  return {
    context,
    profile,
    close: async () => {
      await context.close();
      rmSync(profile, {recursive: true, force: true});
    },
  };
}
