// The page's side of the web renderer (WebRenderer.cpp): it puts the form's markup into the
// page, turns clicks, keys and resizes into events that the renderer's message loop waits for,
// and shows notices. It never calls into the program: while a Run is under way the program is
// paused inside it, so what the page takes waits in the queue.
mergeInto(LibraryManager.library, {
  $QuilPage: {
    CLICK: 1,
    RESIZE: 2,
    CLOSE: 3,
    root: null,      // the form's element
    events: [],      // what the message loop has yet to take
    wake: null,      // the message loop's continuation while it waits
    keys: {},        // key name -> index of the button it presses
    modal: false,    // a notice is open: the form takes no input
    listeners: [],   // [target, type, listener] of every listener added, for the end
    resizing: null,  // the observer of the form's size

    post: function(event) {
      // Only the latest size counts.
      var last = QuilPage.events[QuilPage.events.length - 1];
      if (event.kind == QuilPage.RESIZE && last && last.kind == QuilPage.RESIZE) QuilPage.events.pop();
      QuilPage.events.push(event);
      if (QuilPage.wake) {
        var wake = QuilPage.wake;
        QuilPage.wake = null;
        wake();
      }
    },
    control: function(index) {
      return QuilPage.root.querySelector('[data-control="' + index + '"]');
    },
    listen: function(target, type, listener) {
      target.addEventListener(type, listener);
      QuilPage.listeners.push([target, type, listener]);
    },
    // The page element the program is shown in.
    host: function() {
      return document.getElementById('quil') || document.body;
    },
    // Enter, Escape and the buttons' letters press buttons from anywhere in the page, as in a
    // desktop window; Ctrl-Q closes it. Chords are left to the page (Ctrl-A, Ctrl-C).
    onKey: function(e) {
      if (QuilPage.modal || e.altKey || e.metaKey) return;
      if (e.ctrlKey) {
        if (e.key == 'q' || e.key == 'Q') {
          e.preventDefault();
          QuilPage.post({kind: QuilPage.CLOSE});
        }
        return;
      }
      var index = QuilPage.keys[e.key];
      if (index === undefined) return;
      e.preventDefault();  // also keeps Enter from pressing the focused button
      QuilPage.post({kind: QuilPage.CLICK, a: index});
    },
    onClick: function(e) {
      var button = e.target.closest('button.speed');
      if (!button || button.disabled || QuilPage.modal) return;
      QuilPage.post({kind: QuilPage.CLICK, a: Number(button.dataset.control)});
    },
    // A speed button takes no focus from a click.
    onMouseDown: function(e) {
      if (e.target.closest('button.speed')) e.preventDefault();
    },
    // A copy that reaches the end of the report takes the line break that ends its last line,
    // so that the whole report copied is the report as a file holds it.
    onCopy: function(e) {
      var memo = e.target;
      if (!memo.matches || !memo.matches('textarea.memo')) return;
      var text = memo.value.substring(memo.selectionStart, memo.selectionEnd);
      if (text == '') return;
      if (memo.selectionEnd == memo.value.length) text += '\n';
      e.clipboardData.setData('text/plain', text);
      e.preventDefault();
    },
  },

  quil_web_page_present: function() {
    return typeof document == 'object' && document.body ? 1 : 0;
  },

  quil_web_room__deps: ['$QuilPage'],
  quil_web_room: function(size) {
    var host = QuilPage.host();
    HEAP32[size >> 2] = Math.max(0, document.documentElement.clientWidth - 2 * host.offsetLeft);
    HEAP32[(size >> 2) + 1] = Math.max(0, document.documentElement.clientHeight - 2 * host.offsetTop);
  },

  quil_web_show__deps: ['$QuilPage'],
  quil_web_show: function(markup, title, icon) {
    var host = QuilPage.host();
    host.innerHTML = UTF8ToString(markup);
    QuilPage.root = host.firstElementChild;
    document.title = UTF8ToString(title);
    var svg = UTF8ToString(icon);
    if (svg) {
      var link = document.querySelector('link[rel="icon"]') || document.head.appendChild(document.createElement('link'));
      link.rel = 'icon';
      link.href = 'data:image/svg+xml,' + encodeURIComponent(svg);
    }
    QuilPage.listen(document, 'keydown', QuilPage.onKey);
    QuilPage.listen(QuilPage.root, 'click', QuilPage.onClick);
    QuilPage.listen(QuilPage.root, 'mousedown', QuilPage.onMouseDown);
    QuilPage.listen(QuilPage.root, 'copy', QuilPage.onCopy);
    if (typeof ResizeObserver == 'function') {
      var form = QuilPage.root;
      QuilPage.resizing = new ResizeObserver(function() {
        QuilPage.post({kind: QuilPage.RESIZE, a: form.offsetWidth, b: form.offsetHeight});
      });
      QuilPage.resizing.observe(form);
    }
  },

  quil_web_lines__deps: ['$QuilPage'],
  quil_web_lines: function(control, text, restart) {
    var memo = QuilPage.control(control);
    if (restart) memo.value = UTF8ToString(text);
    else memo.value += UTF8ToString(text);
    // Like a caret following the added text: the view shows the last line.
    memo.scrollTop = memo.scrollHeight;
  },

  quil_web_place__deps: ['$QuilPage'],
  quil_web_place: function(control, left, top, width, height) {
    var style = QuilPage.control(control).style;
    style.left = left + 'px';
    style.top = top + 'px';
    style.width = width + 'px';
    style.height = height + 'px';
  },

  quil_web_sync__deps: ['$QuilPage'],
  quil_web_sync: function(keys, enabled) {
    QuilPage.keys = JSON.parse(UTF8ToString(keys));
    var states = UTF8ToString(enabled);
    for (var i = 0; i < states.length; ++i) {
      var element = QuilPage.control(i);
      if (element && 'disabled' in element) element.disabled = states[i] != '1';
    }
  },

  // Waits for the page's next event and returns its kind, with its numbers in args[0..1].
  quil_web_next_event__deps: ['$QuilPage'],
  quil_web_next_event: function(args) {
    return Asyncify.handleSleep(function(wakeUp) {
      function take() {
        var event = QuilPage.events.shift();
        HEAP32[args >> 2] = event.a || 0;
        HEAP32[(args >> 2) + 1] = event.b || 0;
        wakeUp(event.kind);
      }
      if (QuilPage.events.length) take();
      else QuilPage.wake = take;
    });
  },

  // A modal notice with an OK button; returns when it has been closed.
  quil_web_notice__deps: ['$QuilPage'],
  quil_web_notice: function(caption, text) {
    var title = UTF8ToString(caption);
    var message = UTF8ToString(text);
    Asyncify.handleSleep(function(wakeUp) {
      var dialog = document.createElement('dialog');
      dialog.className = 'notice';
      dialog.setAttribute('role', 'alertdialog');
      dialog.setAttribute('aria-labelledby', 'quil-notice-caption');
      dialog.setAttribute('aria-describedby', 'quil-notice-text');
      dialog.innerHTML = '<div class="caption" id="quil-notice-caption"></div>' +
                         '<p id="quil-notice-text"></p>' +
                         '<form method="dialog"><button type="submit">OK</button></form>';
      dialog.querySelector('.caption').textContent = title;
      dialog.querySelector('p').textContent = message;
      document.body.appendChild(dialog);
      QuilPage.modal = true;
      dialog.addEventListener('close', function() {
        dialog.remove();
        QuilPage.modal = false;
        wakeUp(0);
      });
      dialog.showModal();
    });
  },

  quil_web_ended__deps: ['$QuilPage'],
  quil_web_ended: function(text) {
    QuilPage.listeners.forEach(function(l) { l[0].removeEventListener(l[1], l[2]); });
    QuilPage.listeners = [];
    if (QuilPage.resizing) QuilPage.resizing.disconnect();
    var host = QuilPage.host();
    host.innerHTML = '<p class="ended" role="status"></p>';
    host.firstElementChild.textContent = UTF8ToString(text);
    QuilPage.root = null;
  },
});
