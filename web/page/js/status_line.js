// The status region: one line (or a few) saying what happened, read out by screen readers.
const status = () => document.getElementById('status');

export function showStatus(text, kind = 'info') {
  const element = status();
  element.textContent = text;
  element.className = `status ${kind}`;
  element.dataset.kind = kind;
}
