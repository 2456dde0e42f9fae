// node shots.mjs DIR: the panel's pictures (phone and tablet) into DIR.
import { launch } from './lib/browser.mjs'
import { makeShots } from './lib/shots.mjs'

const dir = process.argv[2]
if (!dir) {
  console.error('usage: node shots.mjs DIR')
  process.exit(2)
}
const browser = await launch()
try {
  for (const file of await makeShots(browser, dir)) console.log(`shots: ${file}`)
} finally {
  await browser.close()
}
