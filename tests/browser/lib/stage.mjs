// What the panel's tests run against: the page's address, the two tokens, and
// the controls of the console and its CG server. By default the fake console
// (lib/fake-console.mjs); OV_PANEL_STAGE names another module exporting
// openStage(options) with the same controls, to run the same tests against
// the real console with the simulator behind it. Tests that need more than
// these controls check `stage.fake` and are skipped elsewhere.
//
// Controls: url, token, viewToken, close(), stop() and start() (the console
// quits and comes back), holdState and holdConfirms (settable: hold what the
// console sends after an authentication, and the server's confirmations),
// release() (what was held),
// setStatus(position, status), setLocked(bool), setCurrent(position),
// setCues(positions), commands (array of { cmd, item, seat, role }) and
// waitFor(test, what), item(position) -> { guid, name, status }.

import { FakeConsole } from './fake-console.mjs'

export async function openStage(options = {}) {
  if (process.env.OV_PANEL_STAGE) {
    const other = await import(process.env.OV_PANEL_STAGE)
    return other.openStage(options)
  }
  const fake = await new FakeConsole(options).start()
  return Object.assign(fake, { fake: true, close: () => fake.stop() })
}
