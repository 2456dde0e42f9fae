// The panel as a producer sees it during a show, on a phone and on a
// tablet-sized screen, saved as PNG files.

import fs from 'node:fs'
import path from 'node:path'
import { openPanel, PHONE, waitTakesOn } from './browser.mjs'
import { FakeConsole } from './fake-console.mjs'

export const TABLET = { viewport: { width: 1180, height: 820 }, deviceScaleFactor: 1, hasTouch: true }

export async function showScene(options = {}) {
  const show = await new FakeConsole({ items: 40, ...options }).start()
  show.setStatus(2, 1)
  show.setStatus(5, 2)
  show.setCurrent(5)
  show.rename(7, '嘉宾 张晓明 · 中国气象局首席预报员')
  show.setCues([2, 5, 7, 3, 11, 12], 3)
  return show
}

// Returns the files written.
export async function makeShots(browser, dir) {
  fs.mkdirSync(dir, { recursive: true })
  const show = await showScene()
  const written = []
  try {
    for (const [name, device] of [['panel_phone.png', PHONE], ['panel_tablet.png', TABLET]]) {
      const panel = await openPanel(browser, show.url, { device, token: show.token, seat: name.includes('phone') ? '导演 手机' : '制片 iPad' })
      await waitTakesOn(panel.page)
      // Pictures in view, and nothing still moving.
      await panel.page.waitForFunction(() => [...document.querySelectorAll('.tile:not([hidden]) img')].filter((i) => !i.hidden && i.complete).length >= 4)
      await panel.page.evaluate(() => document.fonts.ready)
      const file = path.join(dir, name)
      await panel.page.screenshot({ path: file })
      written.push(file)
      await panel.close()
    }
  } finally {
    await show.stop()
  }
  return written
}
