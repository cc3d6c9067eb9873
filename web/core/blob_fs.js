// A file system for the core in the worker whose bytes never live in wasm memory. Files the
// user picked are read through Blob.slice and FileReaderSync, a large piece at a time; files the
// core writes (the intermediate base release, the result) are kept as a list of Blobs, the
// browser's own storage, and read back the same way. So a 100 MB conversion holds only the
// decoder's buffers in wasm memory.
//
// Mounted by the worker with Module.mountBlobFs(path, {files: {name: Blob}, writable, onChange}).
// A file may also be {pieces: [Uint8Array]} (and any other fields), bytes the worker already
// holds, read from there.
// onChange, if given, is told every change to a file of the folder as it happens:
// {file: id, type: 'write', position, data: Blob} or {file: id, type: 'truncate', size}, the
// operations of a FileSystemWritableFileStream, so a page can mirror the file as it is made.

var BLOBFS = {
  // Read ahead this much, so the core's small reads cost one FileReaderSync call per piece.
  READ_PIECE: 16 << 20,
  // Written bytes gather in a piece of this size before they become one Blob: each Blob costs
  // much beyond its copy (a 100 MB result made of 32 MiB Blobs is made a quarter faster than of
  // 8 MiB ones), while the copy into a piece used again costs little.
  WRITE_PIECE: 32 << 20,
  // A piece no file is gathering into, kept for the next: fresh memory is slow to fill.
  spare: null,
  DIR_MODE: 0o040000 | 0o777,
  FILE_MODE: 0o100000 | 0o666,
  // Emscripten's errno numbers.
  ENOENT: 44,
  EPERM: 63,
  EIO: 29,
  EINVAL: 28,
  ENOTEMPTY: 55,
  reader: null,

  mount: function (mount) {
    if (!BLOBFS.reader) BLOBFS.reader = new FileReaderSync();
    var root = BLOBFS.createNode(null, '/', BLOBFS.DIR_MODE, mount.opts.writable);
    var files = mount.opts.files || {};
    Object.keys(files).forEach(function (name) {
      var node = BLOBFS.createNode(root, name, BLOBFS.FILE_MODE, false);
      if (files[name].pieces) {
        node.pieces = files[name].pieces;
        node.size = node.pieces.reduce(function (size, piece) { return size + piece.length; }, 0);
      } else {
        node.blob = files[name];
        node.size = files[name].size;
      }
    });
    return root;
  },

  createNode: function (parent, name, mode, writable) {
    var node = FS.createNode(parent, name, mode);
    node.node_ops = BLOBFS.node_ops;
    node.stream_ops = BLOBFS.stream_ops;
    node.timestamp = Date.now();
    node.writable = writable;
    node.size = 0;
    node.contents = FS.isDir(mode) ? {} : null;
    node.blob = null;   // what reads see: a picked file, or the written parts joined
    node.parts = null;  // written files: the Blobs written so far
    node.pending = null;
    node.pendingBytes = 0;
    node.cache = null;  // the last piece read: {start, bytes}
    node.pieces = null; // held bytes, in place of a Blob
    if (parent) parent.contents[name] = node;
    return node;
  },

  // Adds bytes at the end, gathered into a piece of WRITE_PIECE first.
  append: function (node, bytes) {
    node.blob = null;
    node.cache = null;
    node.size += bytes.length;
    var done = 0;
    while (done < bytes.length) {
      if (!node.pending) {
        node.pending = BLOBFS.spare || new Uint8Array(BLOBFS.WRITE_PIECE);
        BLOBFS.spare = null;
      }
      var count = Math.min(bytes.length - done, BLOBFS.WRITE_PIECE - node.pendingBytes);
      node.pending.set(bytes.subarray(done, done + count), node.pendingBytes);
      node.pendingBytes += count;
      done += count;
      if (node.pendingBytes === BLOBFS.WRITE_PIECE) BLOBFS.flush(node);
    }
  },

  // Makes the gathered bytes a Blob. The Blob takes a copy, so the piece is used again.
  flush: function (node) {
    if (node.pendingBytes === 0) return;
    node.parts.push(new Blob([node.pending.subarray(0, node.pendingBytes)]));
    node.pendingBytes = 0;
  },

  // Lets go of the file's piece, for the next file to gather into.
  release: function (node) {
    if (node.pending) BLOBFS.spare = node.pending;
    node.pending = null;
    node.pendingBytes = 0;
  },

  // Turns what was written into the Blob that reads and the page see.
  settle: function (node) {
    if (!node.parts || node.blob) return;
    BLOBFS.flush(node);
    BLOBFS.release(node);
    node.blob = new Blob(node.parts);
  },

  // The Blob holding a written (or picked) file's bytes.
  blobOf: function (path) {
    var node = FS.lookupPath(path).node;
    BLOBFS.settle(node);
    return node.blob || new Blob([]);
  },

  // Empties the file, or cuts or zero-extends it to `size`.
  resize: function (node, size) {
    var kept = null;
    if (size > 0 && node.size > 0) {
      BLOBFS.settle(node);
      kept = node.blob.slice(0, Math.min(size, node.size));
    }
    node.parts = kept ? [kept] : [];
    if (size > node.size) node.parts.push(new Blob([new Uint8Array(size - node.size)]));
    BLOBFS.release(node);
    node.blob = null;
    node.cache = null;
    node.size = size;
    BLOBFS.report(node, {type: 'truncate', size: size});
  },

  // Reads from held pieces: as much as the piece at `position` has, as a read of a file may.
  readHeld: function (node, buffer, offset, length, position) {
    var start = 0;
    for (var i = 0; i < node.pieces.length; ++i) {
      var piece = node.pieces[i];
      if (position < start + piece.length) {
        var from = position - start;
        var count = Math.min(length, piece.length - from);
        buffer.set(piece.subarray(from, from + count), offset);
        return count;
      }
      start += piece.length;
    }
    return 0;
  },

  report: function (node, change) {
    var onChange = node.mount && node.mount.opts.onChange;
    if (!onChange) return;
    change.file = node.id;
    onChange(change);
  },

  node_ops: {
    getattr: function (node) {
      return {
        dev: 1,
        ino: node.id,
        mode: node.mode,
        nlink: 1,
        uid: 0,
        gid: 0,
        rdev: 0,
        size: FS.isDir(node.mode) ? 4096 : node.size,
        atime: new Date(node.timestamp),
        mtime: new Date(node.timestamp),
        ctime: new Date(node.timestamp),
        blksize: 4096,
        blocks: Math.ceil(node.size / 4096),
      };
    },
    setattr: function (node, attr) {
      if (attr.mode !== undefined) node.mode = attr.mode;
      if (attr.timestamp !== undefined) node.timestamp = attr.timestamp;
      if (attr.size !== undefined) {
        if (!node.writable) throw new FS.ErrnoError(BLOBFS.EPERM);
        BLOBFS.resize(node, attr.size);
      }
    },
    lookup: function (parent, name) {
      var node = parent.contents[name];
      if (!node) throw new FS.ErrnoError(BLOBFS.ENOENT);
      return node;
    },
    mknod: function (parent, name, mode) {
      if (!parent.writable || !FS.isFile(mode)) throw new FS.ErrnoError(BLOBFS.EPERM);
      var node = BLOBFS.createNode(parent, name, BLOBFS.FILE_MODE, true);
      node.parts = [];
      return node;
    },
    rename: function (node, newDir, newName) {
      if (!node.parent.writable || !newDir.writable) throw new FS.ErrnoError(BLOBFS.EPERM);
      var replaced = newDir.contents[newName];
      if (replaced) FS.hashRemoveNode(replaced);
      delete node.parent.contents[node.name];
      node.name = newName;
      node.parent = newDir;
      newDir.contents[newName] = node;
    },
    unlink: function (parent, name) {
      if (!parent.writable) throw new FS.ErrnoError(BLOBFS.EPERM);
      if (parent.contents[name]) BLOBFS.release(parent.contents[name]);
      delete parent.contents[name];
    },
    rmdir: function () {
      throw new FS.ErrnoError(BLOBFS.EPERM);
    },
    readdir: function (node) {
      return ['.', '..'].concat(Object.keys(node.contents));
    },
    symlink: function () {
      throw new FS.ErrnoError(BLOBFS.EPERM);
    },
    readlink: function () {
      throw new FS.ErrnoError(BLOBFS.EINVAL);
    },
  },

  stream_ops: {
    read: function (stream, buffer, offset, length, position) {
      var node = stream.node;
      if (position >= node.size || length === 0) return 0;
      if (node.pieces) return BLOBFS.readHeld(node, buffer, offset, length, position);
      BLOBFS.settle(node);
      var cache = node.cache;
      if (!cache || position < cache.start || position >= cache.start + cache.bytes.length) {
        var end = Math.min(node.size, position + Math.max(length, BLOBFS.READ_PIECE));
        try {
          // Throws NotReadableError when the user's file changed or went away since it was
          // picked: the core then reports a failed read.
          var bytes = BLOBFS.reader.readAsArrayBuffer(node.blob.slice(position, end));
        } catch (e) {
          throw new FS.ErrnoError(BLOBFS.EIO);
        }
        cache = node.cache = {start: position, bytes: new Uint8Array(bytes)};
      }
      var from = position - cache.start;
      var count = Math.min(length, cache.bytes.length - from);
      buffer.set(cache.bytes.subarray(from, from + count), offset);
      return count;
    },
    write: function (stream, buffer, offset, length, position) {
      var node = stream.node;
      if (!node.parts) throw new FS.ErrnoError(BLOBFS.EPERM);
      if (length === 0) return 0;
      var followed = !!(node.mount && node.mount.opts.onChange);
      if (position === node.size && !followed) {
        BLOBFS.append(node, buffer.subarray(offset, offset + length));
        return length;
      }
      // A followed file's writes each become a Blob of their own, told at once; one that lands
      // anywhere but the end (never the core's way, but a retried write would) is put in place.
      var data = new Blob([buffer.subarray(offset, offset + length)]);
      if (position === node.size) {
        node.parts.push(data);
      } else {
        BLOBFS.settle(node);
        var parts = [node.blob.slice(0, position)];
        if (position > node.size) parts.push(new Uint8Array(position - node.size));
        parts.push(data, node.blob.slice(position + length));
        node.parts = [new Blob(parts)];
      }
      node.blob = null;
      node.cache = null;
      node.size = Math.max(node.size, position + length);
      BLOBFS.report(node, {type: 'write', position: position, data: data});
      return length;
    },
    llseek: function (stream, offset, whence) {
      var position = offset;
      if (whence === 1) position += stream.position;
      else if (whence === 2) position += stream.node.size;
      if (position < 0) throw new FS.ErrnoError(BLOBFS.EINVAL);
      return position;
    },
  },
};

Module['mountBlobFs'] = function (path, opts) {
  FS.mkdirTree(path);
  FS.mount(BLOBFS, opts, path);
};
Module['unmountBlobFs'] = function (path) {
  FS.unmount(path);
};
Module['blobOf'] = BLOBFS.blobOf;
