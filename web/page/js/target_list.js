// The releases a file can become: one radio button each, marked with whether its patches are here.
// The list is made once per set of targets, so arrow keys move the choice and keep the focus.
function markOf(item) {
  if (!item.convertible) return {text: 'identification only', kind: 'none'};
  if (item.present) return {text: 'patches present', kind: 'present'};
  return {text: `needs ${item.missing}.vcdiff`, kind: 'missing'};
}

function lineOf(item, onSelect) {
  const line = document.createElement('li');
  line.dataset.releaseId = item.id;
  const radio = document.createElement('input');
  radio.type = 'radio';
  radio.name = 'target';
  radio.id = `target-${item.id}`;
  radio.value = String(item.index);
  radio.addEventListener('change', () => onSelect(item));
  const label = document.createElement('label');
  label.htmlFor = radio.id;
  label.textContent = item.title;
  const mark = document.createElement('span');
  const {text, kind} = markOf(item);
  mark.className = `mark ${kind}`;
  mark.textContent = `(${text})`;
  line.dataset.patches = kind;
  // The space keeps the name read out as "title (mark)", not run together.
  label.append(' ', mark);
  line.append(radio, label);
  return line;
}

// `placeholder` is said when there is nothing to list: why there are no targets.
export function showTargets(list, targets, selected, disabled, onSelect, placeholder) {
  if (!targets || targets.items.length === 0) {
    list.shownTargets = null;
    const text = targets ? 'No other versions of this IWAD are available' : placeholder;
    const line = list.querySelector('li.placeholder');
    if (!line || line.textContent !== text || list.children.length !== 1) {
      const fresh = document.createElement('li');
      fresh.className = 'placeholder';
      fresh.textContent = text;
      list.replaceChildren(fresh);
    }
    return;
  }
  if (list.shownTargets !== targets) {
    list.shownTargets = targets;
    list.replaceChildren(...targets.items.map((item) => lineOf(item, onSelect)));
  }
  for (const [at, radio] of [...list.querySelectorAll('input')].entries()) {
    const item = targets.items[at];
    radio.checked = item.index === selected;
    radio.disabled = disabled || !item.convertible;
  }
}
