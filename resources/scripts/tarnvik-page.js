// Helpers the program runs in its own isolated world of a page.
// Each call site appends one expression that uses them.
var tarnvik = (function () {
  'use strict';

  function set(names) {
    var s = Object.create(null);
    names.split(' ').forEach(function (n) { s[n] = true; });
    return s;
  }

  // Elements that start a line of their own in the markup the page markers
  // are written for.
  var BLOCK = set('ADDRESS BLOCKQUOTE BODY CAPTION CENTER DD DIR DIV DL DT FIELDSET FORM FRAMESET ' +
                  'H1 H2 H3 H4 H5 H6 HR LI MENU NOFRAMES NOSCRIPT OL P PRE TABLE TBODY TD TFOOT TH THEAD TR UL');
  var VOID = set('AREA BASE BASEFONT BR COL EMBED FRAME HR IMG INPUT ISINDEX KEYGEN LINK META PARAM SOURCE TRACK WBR');
  var RAW = set('SCRIPT STYLE XMP PLAINTEXT');
  var KEEP_SPACE = set('PRE TEXTAREA LISTING');

  function escapeText(s) {
    return s.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;').replace(/\u00a0/g, '&nbsp;');
  }

  function attribute(name, value) {
    if (value === '' && (name === 'checked' || name === 'selected' || name === 'disabled' ||
                         name === 'readonly' || name === 'multiple' || name === 'nowrap' || name === 'noshade'))
      return name;
    if (/^[A-Za-z0-9_.#-]+$/.test(value))
      return name + '=' + value;
    return name + '="' + value.replace(/&/g, '&amp;').replace(/"/g, '&quot;') + '"';
  }

  function isBlockNode(n) {
    return n && n.nodeType === 1 && (BLOCK[n.tagName.toUpperCase()] || n.tagName.toUpperCase() === 'BR');
  }

  // With stopAfter given, serialising ends with the first line after the
  // first one that holds that text: enough for a scan that wants only it.
  function markerOuterHtml(root, stopAfter) {
    var out = [];
    var length = 0;
    var lineStart = 0;   // index in out where the current line begins
    var lineNumber = 0;
    var STOP = {};
    function push(s) {
      if (s === '\r\n' && stopAfter) {
        if (lineNumber > 0 && out.slice(lineStart).join('').indexOf(stopAfter) >= 0)
          throw STOP;
        lineStart = out.length + 1;
        lineNumber++;
      }
      out.push(s);
      length += s.length;
    }

    function text(node, keepSpace) {
      var s = node.data;
      if (!keepSpace) {
        s = s.replace(/[ \t\r\n\f]+/g, ' ');
        var prev = node.previousSibling, next = node.nextSibling, parent = node.parentNode;
        var atStart = !prev ? (parent && isBlockNode(parent)) : isBlockNode(prev);
        var atEnd = !next ? (parent && isBlockNode(parent)) : isBlockNode(next);
        if (atStart) s = s.replace(/^ /, '');
        if (atEnd) s = s.replace(/ $/, '');
        if (s === '') return;
      }
      push(escapeText(s));
    }

    function element(node, keepSpace) {
      var tag = node.tagName.toUpperCase();
      if (BLOCK[tag] && length > 0) push('\r\n');
      var s = '<' + tag;
      for (var i = 0; i < node.attributes.length; i++) {
        var a = node.attributes[i];
        s += ' ' + attribute(a.name.toLowerCase(), a.value);
      }
      push(s + '>');
      if (VOID[tag]) {
        if (tag === 'BR') push('\r\n');
        return;
      }
      if (RAW[tag]) {
        push(node.textContent);
      } else {
        var keep = keepSpace || !!KEEP_SPACE[tag];
        for (var c = node.firstChild; c; c = c.nextSibling) visit(c, keep);
      }
      push('</' + tag + '>');
    }

    function visit(node, keepSpace) {
      if (node.nodeType === 1) element(node, keepSpace);
      else if (node.nodeType === 3) text(node, keepSpace);
      else if (node.nodeType === 8) push('<!--' + node.data + '-->');
    }

    try {
      if (root) visit(root, false);
    } catch (e) {
      if (e !== STOP) throw e;
    }
    return out.join('');
  }

  // Addresses of the frames of the page that the program may look into, in
  // document order, each frame's own frames before it.
  function frameUrls() {
    var result = [];
    function walk(win) {
      for (var i = 0; i < win.frames.length; i++) {
        var f = win.frames[i];
        try {
          walk(f);
          result.push(String(f.location.href));
        } catch (e) { /* a frame of another origin stays closed */ }
      }
    }
    walk(window);
    return result;
  }

  function formElements(index) {
    var f = document.forms[index];
    if (!f) return null;
    var list = [];
    for (var i = 0; i < f.elements.length; i++) {
      var e = f.elements[i];
      list.push({ name: String(e.name || ''), type: String(e.type || ''), value: String(e.value === undefined ? '' : e.value) });
    }
    return list;
  }

  // Scheme, host, port and path of the page equal those of `address`.
  function isPage(address) {
    try {
      var want = new URL(address), here = new URL(location.href);
      return want.protocol === here.protocol && want.hostname === here.hostname &&
             want.port === here.port && want.pathname === here.pathname;
    } catch (err) {
      return false;
    }
  }

  function runFormBatch(steps) {
    var f = document.forms[0];
    for (var i = 0; i < steps.length; i++) {
      var step = steps[i];
      if (step.kind === 3) {
        if (!isPage(step.value)) return { ok: false, failedStep: i, error: 'Die Seite ist nicht die erwartete' };
        continue;
      }
      if (!f) return { ok: false, failedStep: i, error: 'Die Seite enthält kein Formular' };
      var e = f.elements[step.element];
      if (!e) return { ok: false, failedStep: i, error: 'Das Formular hat kein Element ' + step.element };
      try {
        if (step.kind === 0) e.value = step.value;
        else if (step.kind === 1) e.checked = true;
        else e.click();
      } catch (err) {
        return { ok: false, failedStep: i, error: String(err) };
      }
    }
    return { ok: true, failedStep: -1, error: '' };
  }

  return {
    markerOuterHtml: markerOuterHtml,
    frameUrls: frameUrls,
    formElements: formElements,
    runFormBatch: runFormBatch
  };
})();
