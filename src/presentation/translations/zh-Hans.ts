<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name></name>
    <message id="openWith">
        <source>Open With</source>
        <translation>打开方式</translation>
    </message>
    <message id="openWithTitle">
        <source>Open With…</source>
        <translation>打开方式…</translation>
    </message>
    <message id="otherApplication">
        <source>Other Application…</source>
        <translation>其他应用程序…</translation>
    </message>
    <message id="searchApplications">
        <source>Search applications</source>
        <translation>搜索应用程序</translation>
    </message>
    <message id="applications">
        <source>Applications</source>
        <translation>应用程序</translation>
    </message>
    <message id="lookingForApplications">
        <source>Looking for applications…</source>
        <translation>正在查找应用程序…</translation>
    </message>
    <message id="setAsDefault">
        <source>Set as default for this type</source>
        <translation>设为此类型的默认应用程序</translation>
    </message>
    <message id="runOrOpenQuestion">
        <source>“%1” is a program. Run it, or show its contents?</source>
        <translation>“%1”是一个程序。要运行它，还是显示其内容？</translation>
    </message>
    <message id="runOrOpenDetails">
        <source>Run programs only from sources you trust.</source>
        <translation>请只运行来源可信的程序。</translation>
    </message>
    <message id="runProgram">
        <source>Run</source>
        <translation>运行</translation>
    </message>
    <message id="openAsText">
        <source>Open as Text</source>
        <translation>以文本方式打开</translation>
    </message>
    <message id="openFailed">
        <source>Could not open “%1”: %2</source>
        <translation>无法打开“%1”：%2</translation>
    </message>
    <message id="openInTerminal">
        <source>Open in Terminal</source>
        <translation>在终端中打开</translation>
    </message>
    <message id="noTerminal">
        <source>No terminal program was found. Set TERMINAL to the one you use.</source>
        <translation>未找到终端程序。请将 TERMINAL 设置为您使用的终端。</translation>
    </message>
    <message id="freeSpace">
        <source>%1 free</source>
        <translation>可用 %1</translation>
    </message>
    <message id="selectionSize">
        <source>%1 (%2)</source>
        <translation>%1（%2）</translation>
    </message>
    <message id="properties">
        <source>Properties</source>
        <translation>属性</translation>
    </message>
    <message id="copyTo">
        <source>Copy To…</source>
        <translation>复制到…</translation>
    </message>
    <message id="moveTo">
        <source>Move To…</source>
        <translation>移动到…</translation>
    </message>
    <message id="makeLink">
        <source>Make Link</source>
        <translation>创建链接</translation>
    </message>
    <message id="linkName">
        <source>Link to %1</source>
        <translation>%1 的链接</translation>
    </message>
    <message id="newDocument">
        <source>New Document</source>
        <translation>新建文档</translation>
    </message>
    <message id="noTemplates">
        <source>No Templates</source>
        <translation>没有模板</translation>
    </message>
    <message id="pasteInto">
        <source>Paste into Folder</source>
        <translation>粘贴到文件夹</translation>
    </message>
    <message id="showHiddenFiles">
        <source>Show Hidden Files</source>
        <translation>显示隐藏文件</translation>
    </message>
    <message id="sortBy">
        <source>Sort By</source>
        <translation>排序方式</translation>
    </message>
    <message id="chooseFolder">
        <source>Choose a Folder</source>
        <translation>选择文件夹</translation>
    </message>
    <message id="propertiesTitle">
        <source>%1 Properties</source>
        <translation>“%1”的属性</translation>
    </message>
    <message id="propKind">
        <source>Kind</source>
        <translation>类型</translation>
    </message>
    <message id="propLocation">
        <source>Location</source>
        <translation>位置</translation>
    </message>
    <message id="propSize">
        <source>Size</source>
        <translation>大小</translation>
    </message>
    <message id="propSizeOnDisk">
        <source>Size on disk</source>
        <translation>占用空间</translation>
    </message>
    <message id="propContents">
        <source>Contents</source>
        <translation>内容</translation>
    </message>
    <message id="propCounting">
        <source>%1, %2 (counting…)</source>
        <translation>%1，%2（正在统计…）</translation>
    </message>
    <message id="propTotal">
        <source>%1, %2</source>
        <translation>%1，%2</translation>
    </message>
    <message id="propModified">
        <source>Modified</source>
        <translation>修改时间</translation>
    </message>
    <message id="propAccessed">
        <source>Accessed</source>
        <translation>访问时间</translation>
    </message>
    <message id="propChanged">
        <source>Changed</source>
        <translation>更改时间</translation>
    </message>
    <message id="propCreated">
        <source>Created</source>
        <translation>创建时间</translation>
    </message>
    <message id="propOwner">
        <source>Owner</source>
        <translation>所有者</translation>
    </message>
    <message id="propGroup">
        <source>Group</source>
        <translation>组</translation>
    </message>
    <message id="propOthers">
        <source>Others</source>
        <translation>其他人</translation>
    </message>
    <message id="propPermissions">
        <source>Permissions</source>
        <translation>权限</translation>
    </message>
    <message id="propRead">
        <source>Read</source>
        <translation>读取</translation>
    </message>
    <message id="propWrite">
        <source>Write</source>
        <translation>写入</translation>
    </message>
    <message id="propExecute">
        <source>Execute</source>
        <translation>执行</translation>
    </message>
    <message id="propApplyEnclosed">
        <source>Apply to enclosed items</source>
        <translation>应用到其中的项目</translation>
    </message>
    <message id="propLinkTarget">
        <source>Link target</source>
        <translation>链接目标</translation>
    </message>
    <message id="propVolume">
        <source>Volume</source>
        <translation>卷</translation>
    </message>
    <message id="propOpensWith">
        <source>Opens with</source>
        <translation>打开方式</translation>
    </message>
    <message id="propChange">
        <source>Change…</source>
        <translation>更改…</translation>
    </message>
    <message id="propUnknown">
        <source>Unknown</source>
        <translation>未知</translation>
    </message>
    <message id="propNone">
        <source>None</source>
        <translation>无</translation>
    </message>
    <message id="propApply">
        <source>Apply</source>
        <translation>应用</translation>
    </message>
    <message id="propClose">
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message id="propSeveral">
        <source>%1 Items</source>
        <translation>%1 个项目</translation>
    </message>
    <message id="operationPermissions">
        <source>Change Permissions</source>
        <translation>更改权限</translation>
    </message>
    <message id="undoFileOperation">
        <source>Undo Last Operation</source>
        <translation>撤销上次操作</translation>
    </message>
    <message id="undoUnavailable">
        <source>The last operation cannot be undone.</source>
        <translation>无法撤销上次操作。</translation>
    </message>
    <message id="undoEmpty">
        <source>There is nothing to undo.</source>
        <translation>没有可撤销的操作。</translation>
    </message>
    <message id="undoBusy">
        <source>Undo is available once the running operations have finished.</source>
        <translation>正在进行的操作完成后才能撤销。</translation>
    </message>
    <message id="undoScope">
        <source>Undoes the last command; an item changed since is left as it is.</source>
        <translation>撤销上一个命令；之后被更改过的项目保持不变。</translation>
    </message>
    <message id="undoTask">
        <source>Undo “%1”</source>
        <translation>撤销“%1”</translation>
    </message>
    <message id="redoTask">
        <source>Redo “%1”</source>
        <translation>重做“%1”</translation>
    </message>
    <message id="redo">
        <source>Redo</source>
        <translation>重做</translation>
    </message>
    <message id="redoEmpty">
        <source>There is nothing to redo.</source>
        <translation>没有可重做的操作。</translation>
    </message>
    <message id="undoNamed">
        <source>Undo %1</source>
        <translation>撤销%1</translation>
    </message>
    <message id="redoNamed">
        <source>Redo %1</source>
        <translation>重做%1</translation>
    </message>
    <message id="commandCopy" numerus="yes">
        <source>Copy %Ln Items</source>
        <translation>
            <numerusform>复制（%Ln 个项目）</numerusform>
        </translation>
    </message>
    <message id="commandMove" numerus="yes">
        <source>Move %Ln Items</source>
        <translation>
            <numerusform>移动（%Ln 个项目）</numerusform>
        </translation>
    </message>
    <message id="commandRename">
        <source>Rename</source>
        <translation>重命名</translation>
    </message>
    <message id="commandTrash" numerus="yes">
        <source>Trash %Ln Items</source>
        <translation>
            <numerusform>移到回收站（%Ln 个项目）</numerusform>
        </translation>
    </message>
    <message id="commandRestore" numerus="yes">
        <source>Restore %Ln Items</source>
        <translation>
            <numerusform>还原（%Ln 个项目）</numerusform>
        </translation>
    </message>
    <message id="commandPermissions">
        <source>Permission Change</source>
        <translation>更改权限</translation>
    </message>
    <message id="commandMakeLink" numerus="yes">
        <source>Make %Ln Links</source>
        <translation>
            <numerusform>创建链接（%Ln 个）</numerusform>
        </translation>
    </message>
    <message id="commandNewFolder">
        <source>New Folder</source>
        <translation>新建文件夹</translation>
    </message>
    <message id="settings">
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message id="settingsMenu">
        <source>Settings…</source>
        <translation>设置…</translation>
    </message>
    <message id="localFiles">
        <source>Local Files</source>
        <translation>本地文件</translation>
    </message>
    <message id="newTab">
        <source>New Tab</source>
        <translation>新建标签页</translation>
    </message>
    <message id="closeTab">
        <source>Close Tab</source>
        <translation>关闭标签页</translation>
    </message>
    <message id="back">
        <source>Back</source>
        <translation>后退</translation>
    </message>
    <message id="forward">
        <source>Forward</source>
        <translation>前进</translation>
    </message>
    <message id="up">
        <source>Up</source>
        <translation>上一级</translation>
    </message>
    <message id="refresh">
        <source>Refresh</source>
        <translation>刷新</translation>
    </message>
    <message id="currentPath">
        <source>Current Path</source>
        <translation>当前路径</translation>
    </message>
    <message id="editPath">
        <source>Edit Path</source>
        <translation>编辑路径</translation>
    </message>
    <message id="editPathShortcut">
        <source>Edit Path (Ctrl+L)</source>
        <translation>编辑路径 (Ctrl+L)</translation>
    </message>
    <message id="pathPlaceholder">
        <source>Type a path, such as ~/Documents</source>
        <translation>输入路径，例如 ~/Documents</translation>
    </message>
    <message id="filter">
        <source>Filter</source>
        <translation>筛选</translation>
    </message>
    <message id="preview">
        <source>Preview</source>
        <translation>预览</translation>
    </message>
    <message id="more">
        <source>More</source>
        <translation>更多</translation>
    </message>
    <message id="dismissError">
        <source>Dismiss</source>
        <translation>关闭提示</translation>
    </message>
    <message id="readOnly">
        <source>Read-Only</source>
        <translation>只读</translation>
    </message>
    <message id="nameColumn">
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message id="kindColumn">
        <source>Type</source>
        <translation>类型</translation>
    </message>
    <message id="sizeColumn">
        <source>Size</source>
        <translation>大小</translation>
    </message>
    <message id="modifiedColumn">
        <source>Modified</source>
        <translation>修改时间</translation>
    </message>
    <message id="fileList">
        <source>File List</source>
        <translation>文件列表</translation>
    </message>
    <message id="emptyFolder">
        <source>This folder is empty</source>
        <translation>此文件夹为空</translation>
    </message>
    <message id="noMatches">
        <source>No items match the filter</source>
        <translation>没有与筛选条件匹配的项目</translation>
    </message>
    <message id="open">
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message id="openInNewTab">
        <source>Open in New Tab</source>
        <translation>在新标签页中打开</translation>
    </message>
    <message id="copy">
        <source>Copy</source>
        <translation>复制</translation>
    </message>
    <message id="cut">
        <source>Cut</source>
        <translation>剪切</translation>
    </message>
    <message id="paste">
        <source>Paste</source>
        <translation>粘贴</translation>
    </message>
    <message id="undo">
        <source>Undo</source>
        <translation>撤销</translation>
    </message>
    <message id="copyPath">
        <source>Copy Path</source>
        <translation>复制路径</translation>
    </message>
    <message id="finder">
        <source>Show in File Manager</source>
        <translation>在文件管理器中显示</translation>
    </message>
    <message id="selectAll">
        <source>Select All</source>
        <translation>全选</translation>
    </message>
    <message id="home">
        <source>Home</source>
        <translation>主文件夹</translation>
    </message>
    <message id="desktop">
        <source>Desktop</source>
        <translation>桌面</translation>
    </message>
    <message id="downloads">
        <source>Downloads</source>
        <translation>下载</translation>
    </message>
    <message id="documents">
        <source>Documents</source>
        <translation>文档</translation>
    </message>
    <message id="favorites">
        <source>Favorites</source>
        <translation>收藏</translation>
    </message>
    <message id="tree">
        <source>Folders</source>
        <translation>文件夹</translation>
    </message>
    <message id="volumes">
        <source>Volumes</source>
        <translation>存储卷</translation>
    </message>
    <message id="loading">
        <source>Loading…</source>
        <translation>正在加载…</translation>
    </message>
    <message id="folder">
        <source>Folder</source>
        <translation>文件夹</translation>
    </message>
    <message id="file">
        <source>File</source>
        <translation>文件</translation>
    </message>
    <message id="about">
        <source>About Dromel</source>
        <translation>关于 Dromel</translation>
    </message>
    <message id="hide">
        <source>Hide Dromel</source>
        <translation>隐藏 Dromel</translation>
    </message>
    <message id="quit">
        <source>Quit</source>
        <translation>退出</translation>
    </message>
    <message id="fileMenu">
        <source>File</source>
        <translation>文件</translation>
    </message>
    <message id="editMenu">
        <source>Edit</source>
        <translation>编辑</translation>
    </message>
    <message id="goMenu">
        <source>Go</source>
        <translation>前往</translation>
    </message>
    <message id="windowMenu">
        <source>Window</source>
        <translation>窗口</translation>
    </message>
    <message id="helpMenu">
        <source>Help</source>
        <translation>帮助</translation>
    </message>
    <message id="minimize">
        <source>Minimize</source>
        <translation>最小化</translation>
    </message>
    <message id="showHidden">
        <source>Show hidden items</source>
        <translation>显示隐藏项目</translation>
    </message>
    <message id="windowsKeys">
        <source>Use Windows-style keys</source>
        <translation>使用 Windows 风格按键</translation>
    </message>
    <message id="restoreTabs">
        <source>Restore tabs at startup</source>
        <translation>启动时恢复标签页</translation>
    </message>
    <message id="readOnlyNote">
        <source>Browsing never changes your files; only the file commands you choose do.</source>
        <translation>浏览不会更改您的文件，只有您选择的文件命令才会。</translation>
    </message>
    <message id="language">
        <source>Language</source>
        <translation>语言</translation>
    </message>
    <message id="appearance">
        <source>Appearance</source>
        <translation>外观</translation>
    </message>
    <message id="skin">
        <source>Skin</source>
        <translation>皮肤</translation>
    </message>
    <message id="system">
        <source>System</source>
        <translation>跟随系统</translation>
    </message>
    <message id="light">
        <source>Light</source>
        <translation>浅色</translation>
    </message>
    <message id="dark">
        <source>Dark</source>
        <translation>深色</translation>
    </message>
    <message id="glass">
        <source>Glass</source>
        <translation>玻璃</translation>
    </message>
    <message id="solid">
        <source>Solid</source>
        <translation>纯色</translation>
    </message>
    <message id="restartLanguage">
        <source>A new language takes effect the next time Dromel starts.</source>
        <translation>新的语言将在下次启动 Dromel 时生效。</translation>
    </message>
    <message id="invalidPath">
        <source>Enter an absolute path or a path beginning with ~/.</source>
        <translation>请输入绝对路径或以 ~/ 开头的路径。</translation>
    </message>
    <message id="tooManyTabs">
        <source>No more tabs can be opened: 50 is the limit.</source>
        <translation>无法打开更多标签页：最多 50 个。</translation>
    </message>
    <message id="directoryError">
        <source>Cannot read “%1”: %2</source>
        <translation>无法读取“%1”：%2</translation>
    </message>
    <message id="readError">
        <source>Cannot read: %1</source>
        <translation>无法读取：%1</translation>
    </message>
    <message id="closeNamedTab">
        <source>Close “%1”</source>
        <translation>关闭“%1”</translation>
    </message>
    <message id="closeOtherTabs">
        <source>Close Other Tabs</source>
        <translation>关闭其他标签页</translation>
    </message>
    <message id="closeTabsToRight">
        <source>Close Tabs to the Right</source>
        <translation>关闭右侧的标签页</translation>
    </message>
    <message id="duplicateTab">
        <source>Duplicate Tab</source>
        <translation>复制标签页</translation>
    </message>
    <message id="reopenClosedTab">
        <source>Reopen Closed Tab</source>
        <translation>重新打开关闭的标签页</translation>
    </message>
    <message id="alwaysShowTabs">
        <source>Always show the tab bar</source>
        <translation>始终显示标签栏</translation>
    </message>
    <message id="thumbnails">
        <source>Thumbnails</source>
        <translation>缩略图</translation>
    </message>
    <message id="thumbnailsOff">
        <source>Off</source>
        <translation>关闭</translation>
    </message>
    <message id="thumbnailsUpTo">
        <source>Files up to %1 MB</source>
        <translation>不超过 %1 MB 的文件</translation>
    </message>
    <message id="networkThumbnails">
        <source>Thumbnails for files on network volumes</source>
        <translation>为网络卷上的文件生成缩略图</translation>
    </message>
    <message id="closeWindow">
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message id="columnsMenu">
        <source>Columns</source>
        <translation>列</translation>
    </message>
    <message id="viewAsList">
        <source>List</source>
        <translation>列表</translation>
    </message>
    <message id="viewAsIcons">
        <source>Icons</source>
        <translation>图标</translation>
    </message>
    <message id="statusFiltered">
        <source>%1 shown of %2</source>
        <translation>显示 %1，共 %2</translation>
    </message>
    <message id="statusSelection">
        <source>%1, %2</source>
        <translation>%1，%2</translation>
    </message>
    <message id="statusLoading">
        <source>%1 — loading…</source>
        <translation>%1 — 正在加载…</translation>
    </message>
    <message id="statusSorting">
        <source>%1 — sorting…</source>
        <translation>%1 — 正在排序…</translation>
    </message>
    <message id="items" numerus="yes">
        <source>%Ln items</source>
        <translation>
            <numerusform>%Ln 个项目</numerusform>
        </translation>
    </message>
    <message id="selected" numerus="yes">
        <source>%Ln selected</source>
        <translation>
            <numerusform>已选择 %Ln 个</numerusform>
        </translation>
    </message>
    <message id="newFolder">
        <source>New Folder</source>
        <translation>新建文件夹</translation>
    </message>
    <message id="newFolderName">
        <source>New Folder</source>
        <translation>新建文件夹</translation>
    </message>
    <message id="rename">
        <source>Rename</source>
        <translation>重命名</translation>
    </message>
    <message id="trash">
        <source>Move to Trash</source>
        <translation>移到回收站</translation>
    </message>
    <message id="operations">
        <source>Operations</source>
        <translation>文件操作</translation>
    </message>
    <message id="cancelTask">
        <source>Cancel Operation</source>
        <translation>取消操作</translation>
    </message>
    <message id="retryTask">
        <source>Retry</source>
        <translation>重试</translation>
    </message>
    <message id="cleanUpTask">
        <source>Clean Up</source>
        <translation>清理</translation>
    </message>
    <message id="taskUnreadable">
        <source>A task this version cannot read</source>
        <translation>此版本无法读取的任务</translation>
    </message>
    <message id="reviewLeftovers">
        <source>Left by the task: check these places.</source>
        <translation>任务留下的项目：请检查以下位置。</translation>
    </message>
    <message id="cancel">
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message id="create">
        <source>Create</source>
        <translation>创建</translation>
    </message>
    <message id="continueOperation">
        <source>Continue</source>
        <translation>继续</translation>
    </message>
    <message id="skip">
        <source>Skip</source>
        <translation>跳过</translation>
    </message>
    <message id="keepBoth">
        <source>Keep Both</source>
        <translation>保留两者</translation>
    </message>
    <message id="replace">
        <source>Replace</source>
        <translation>替换</translation>
    </message>
    <message id="conflictTitle">
        <source>An item with the same name already exists.</source>
        <translation>已存在同名项目。</translation>
    </message>
    <message id="conflictDetails">
        <source>Source: %1
Size: %2, modified %3

Destination: %4
Size: %5, modified %6</source>
        <translation>来源：%1
大小：%2，修改于 %3

目标：%4
大小：%5，修改于 %6</translation>
    </message>
    <message id="replaceNote">
        <source>Replacing moves the existing item to the Trash.</source>
        <translation>替换会将现有项目移到回收站。</translation>
    </message>
    <message id="applyConflicts">
        <source>Do this for all remaining conflicts</source>
        <translation>对其余所有冲突执行相同操作</translation>
    </message>
    <message id="limitedTitle">
        <source>Copy with only what this volume keeps?</source>
        <translation>仅保留此卷能保存的信息并复制吗？</translation>
    </message>
    <message id="limitedBody">
        <source>The volume of “%1” cannot keep everything these items have, so they are copied there with what it keeps. Lost in the copies: permissions, owner and extended attributes where the volume has no place for them, and, where it cannot put an item in place exclusively, the protection against replacing an item another program creates there at the same moment. Content and modification times are kept. Continue?</source>
        <translation>“%1”所在的卷无法保存这些项目的全部信息，因此只会带着它能保存的信息复制过去。副本中将丢失：该卷无处保存的权限、所有者和扩展属性；若该卷无法独占地放置项目，还将失去防止替换其他程序同一时刻在该处创建的项目的保护。内容和修改时间会被保留。要继续吗？</translation>
    </message>
    <message id="extensionTitle">
        <source>Change the extension?</source>
        <translation>要更改扩展名吗？</translation>
    </message>
    <message id="extensionBody">
        <source>Renaming “%1” to “%2” changes its extension. The item may open in a different application.</source>
        <translation>将“%1”重命名为“%2”会更改其扩展名，该项目可能会用其他应用程序打开。</translation>
    </message>
    <message id="trashTitle">
        <source>Move to Trash?</source>
        <translation>要移到回收站吗？</translation>
    </message>
    <message id="trashBody">
        <source>%1 will be moved to the Trash.</source>
        <translation>%1将被移到回收站。</translation>
    </message>
    <message id="plainPasteTitle">
        <source>Paste items named in text?</source>
        <translation>粘贴文本中指名的项目？</translation>
    </message>
    <message id="plainPasteMoveBody">
        <source>The clipboard holds text, not copied files. The text names %1 in %2:

%3

Any program or web page can put such text on the clipboard. Move them into “%4”?</source>
        <translation>剪贴板中是文本，而不是复制的文件。该文本指名了 %2 中的%1：

%3

任何程序或网页都能把这样的文本放到剪贴板上。要将它们移到“%4”吗？</translation>
    </message>
    <message id="plainPasteCopyBody">
        <source>The clipboard holds text, not copied files. The text names %1 in %2:

%3

Any program or web page can put such text on the clipboard. Copy them into “%4”?</source>
        <translation>剪贴板中是文本，而不是复制的文件。该文本指名了 %2 中的%1：

%3

任何程序或网页都能把这样的文本放到剪贴板上。要将它们复制到“%4”吗？</translation>
    </message>
    <message id="pasteAnyway">
        <source>Paste</source>
        <translation>粘贴</translation>
    </message>
    <message id="moreItems" numerus="yes">
        <source>and %Ln more</source>
        <translation>
            <numerusform>另外 %Ln 个</numerusform>
        </translation>
    </message>
    <message id="nameUndisplayable">
        <source>The new name cannot keep the characters that cannot be shown there. Change only the text around them, or type the whole name anew.</source>
        <translation>新名称无法保留其中无法显示的字符。请只修改它们周围的文字，或重新输入完整名称。</translation>
    </message>
    <message id="nameTooLong">
        <source>The name is too long: %1 bytes. A name can have at most %2 bytes.</source>
        <translation>名称太长：%1 字节。名称最多可有 %2 字节。</translation>
    </message>
    <message id="replaceFolderNote">
        <source>This item cannot replace the existing one. Keep Both gives the new item a free name.</source>
        <translation>此项目无法替换现有项目。“保留两者”会为新项目另取可用名称。</translation>
    </message>
    <message id="operationSummary">
        <source>%1 — done: %2, skipped: %3, failed: %4, remaining: %5</source>
        <translation>%1 — 已完成：%2，已跳过：%3，失败：%4，剩余：%5</translation>
    </message>
    <message id="operationProgress">
        <source>%1 of %2</source>
        <translation>%1 / %2</translation>
    </message>
    <message id="operationRecovery">
        <source>Left for review: %1</source>
        <translation>留待检查：%1</translation>
    </message>
    <message id="operationResult">
        <source>%1: %2 → %3</source>
        <translation>%1：%2 → %3</translation>
    </message>
    <message id="noTasks">
        <source>No operations</source>
        <translation>没有文件操作</translation>
    </message>
    <message id="journalInUse">
        <source>Another Dromel is running tasks on this operations journal. File operations are off in this window; use the other window.</source>
        <translation>另一个 Dromel 正在使用此操作日志运行任务。此窗口中的文件操作已关闭；请使用另一个窗口。</translation>
    </message>
    <message id="journalReadOnly">
        <source>Another Dromel process holds this operations journal. Its tasks are shown as that process last wrote them; from this window they can be followed, not changed.</source>
        <translation>另一个 Dromel 进程正在使用此操作日志。这里按该进程最后写入的内容显示其任务；在此窗口中只能查看，不能更改。</translation>
    </message>
    <message id="journalInUseRefused">
        <source>Not done: another Dromel process holds the operations journal, so file operations are off in this window. Use the other window.</source>
        <translation>未执行：另一个 Dromel 进程正在使用操作日志，因此此窗口中的文件操作已关闭。请使用另一个窗口。</translation>
    </message>
    <message id="taskCleanedUp">
        <source>Cleaned up</source>
        <translation>已清理</translation>
    </message>
    <message id="taskCopy">
        <source>Copy %1 to %2</source>
        <translation>将%1复制到“%2”</translation>
    </message>
    <message id="taskMove">
        <source>Move %1 to %2</source>
        <translation>将%1移到“%2”</translation>
    </message>
    <message id="taskRename">
        <source>Rename “%1” to “%2”</source>
        <translation>将“%1”重命名为“%2”</translation>
    </message>
    <message id="taskTrash">
        <source>Move %1 to the Trash</source>
        <translation>将%1移到回收站</translation>
    </message>
    <message id="taskNewFolder">
        <source>New folder “%1”</source>
        <translation>新建文件夹“%1”</translation>
    </message>
    <message id="taskCopyOne">
        <source>Copy “%1” to %2</source>
        <translation>将“%1”复制到“%2”</translation>
    </message>
    <message id="taskMoveOne">
        <source>Move “%1” to %2</source>
        <translation>将“%1”移到“%2”</translation>
    </message>
    <message id="taskRestore">
        <source>Restore %1</source>
        <translation>还原%1</translation>
    </message>
    <message id="taskRestoreOne">
        <source>Restore “%1”</source>
        <translation>还原“%1”</translation>
    </message>
    <message id="taskDelete">
        <source>Delete %1 permanently</source>
        <translation>永久删除%1</translation>
    </message>
    <message id="taskDeleteOne">
        <source>Delete “%1” permanently</source>
        <translation>永久删除“%1”</translation>
    </message>
    <message id="taskPermissions">
        <source>Change the permissions of %1</source>
        <translation>更改%1的权限</translation>
    </message>
    <message id="taskPermissionsOne">
        <source>Change the permissions of “%1”</source>
        <translation>更改“%1”的权限</translation>
    </message>
    <message id="taskLinkOne">
        <source>Make a link to “%1” in %2</source>
        <translation>在“%2”中创建指向“%1”的链接</translation>
    </message>
    <message id="taskLink">
        <source>Make links to %1 in %2</source>
        <translation>在“%2”中创建指向%1的链接</translation>
    </message>
    <message id="taskTrashOne">
        <source>Move “%1” to the Trash</source>
        <translation>将“%1”移到回收站</translation>
    </message>
    <message id="dismissTask">
        <source>Dismiss</source>
        <translation>移除</translation>
    </message>
    <message id="showTask">
        <source>Show Task</source>
        <translation>查看任务</translation>
    </message>
    <message id="taskBanner">
        <source>%1 — %2: %3</source>
        <translation>%1 — %2：%3</translation>
    </message>
    <message id="failedTasks" numerus="yes">
        <source>%Ln failed</source>
        <translation>
            <numerusform>%Ln 个失败</numerusform>
        </translation>
    </message>
    <message id="cutMarked">
        <source>cut</source>
        <translation>已剪切</translation>
    </message>
    <message id="writeVersion">
        <source>Before changing an item, Dromel checks that it is still the version you chose. Nothing is deleted: replaced items go to the Trash.</source>
        <translation>更改项目前，Dromel 会确认它仍是您所选的版本。不会删除任何内容：被替换的项目会移到回收站。</translation>
    </message>
    <message id="phaseQueued">
        <source>Queued</source>
        <translation>排队中</translation>
    </message>
    <message id="phasePreparing">
        <source>Preparing</source>
        <translation>正在准备</translation>
    </message>
    <message id="phaseCopying">
        <source>Copying</source>
        <translation>正在复制</translation>
    </message>
    <message id="phaseVerifying">
        <source>Verifying</source>
        <translation>正在校验</translation>
    </message>
    <message id="phaseWaiting">
        <source>Waiting for your answer</source>
        <translation>等待您的回应</translation>
    </message>
    <message id="phaseCommitting">
        <source>Finishing</source>
        <translation>正在完成</translation>
    </message>
    <message id="phaseCancelling">
        <source>Cancelling</source>
        <translation>正在取消</translation>
    </message>
    <message id="phaseCompleted">
        <source>Completed</source>
        <translation>已完成</translation>
    </message>
    <message id="phasePartial">
        <source>Partly completed</source>
        <translation>部分完成</translation>
    </message>
    <message id="phaseFailed">
        <source>Failed</source>
        <translation>失败</translation>
    </message>
    <message id="phaseCancelled">
        <source>Cancelled</source>
        <translation>已取消</translation>
    </message>
    <message id="phaseNeedsReview">
        <source>Needs review</source>
        <translation>需要检查</translation>
    </message>
    <message id="outcomeSucceeded">
        <source>Succeeded</source>
        <translation>成功</translation>
    </message>
    <message id="outcomeSkipped">
        <source>Skipped</source>
        <translation>已跳过</translation>
    </message>
    <message id="outcomeFailed">
        <source>Failed</source>
        <translation>失败</translation>
    </message>
    <message id="outcomeCancelled">
        <source>Cancelled</source>
        <translation>已取消</translation>
    </message>
    <message id="problemInvalidName">
        <source>The name is not valid.</source>
        <translation>名称无效。</translation>
    </message>
    <message id="problemUnsupported">
        <source>This item or request is not supported.</source>
        <translation>不支持此项目或此请求。</translation>
    </message>
    <message id="problemSourceChanged">
        <source>The item changed after it was chosen.</source>
        <translation>项目在选择后已被更改。</translation>
    </message>
    <message id="problemTargetChanged">
        <source>The destination changed after it was chosen.</source>
        <translation>目标位置在选择后已被更改。</translation>
    </message>
    <message id="problemDescendant">
        <source>A folder cannot be copied or moved into itself.</source>
        <translation>无法将文件夹复制或移动到其自身内部。</translation>
    </message>
    <message id="problemMetadataConsent">
        <source>The destination cannot keep everything these items have, and copying with less was not approved.</source>
        <translation>目标卷无法保存这些项目的全部信息，且未获准以较少的信息复制。</translation>
    </message>
    <message id="problemVerification">
        <source>The copy does not match the original.</source>
        <translation>副本与原件不一致。</translation>
    </message>
    <message id="problemSystem">
        <source>The system reported an error.</source>
        <translation>系统报告了错误。</translation>
    </message>
    <message id="problemJournal">
        <source>The operations journal could not be written.</source>
        <translation>无法写入操作日志。</translation>
    </message>
    <message id="problemInterrupted">
        <source>The work was interrupted before it finished, so where each item is now is not known for certain. Check the places listed below.</source>
        <translation>操作在完成前被中断，无法确定各项目现在的位置。请检查下面列出的位置。</translation>
    </message>
    <message id="quitTasksTitle">
        <source>File operations are still running.</source>
        <translation>文件操作仍在进行。</translation>
    </message>
    <message id="quitTasksBody">
        <source>Quitting cancels them. Items already finished stay as they are; nothing is deleted.</source>
        <translation>退出将取消这些操作。已完成的项目保持原样，不会删除任何内容。</translation>
    </message>
    <message id="quitAfterCancel">
        <source>Cancel Operations and Quit</source>
        <translation>取消操作并退出</translation>
    </message>
    <message id="trashPlace">
        <source>Trash</source>
        <translation>回收站</translation>
    </message>
    <message id="trashOriginalColumn">
        <source>Original Location</source>
        <translation>原位置</translation>
    </message>
    <message id="trashDeletedColumn">
        <source>Deleted</source>
        <translation>删除时间</translation>
    </message>
    <message id="trashNoRecord">
        <source>Unknown: no record of where it came from</source>
        <translation>未知：没有它来自何处的记录</translation>
    </message>
    <message id="trashDamagedRecord">
        <source>Unknown: its record is damaged</source>
        <translation>未知：它的记录已损坏</translation>
    </message>
    <message id="trashMissingItem">
        <source>Missing: only its record is left</source>
        <translation>缺失：只剩下它的记录</translation>
    </message>
    <message id="trashRestore">
        <source>Restore</source>
        <translation>还原</translation>
    </message>
    <message id="trashEmpty">
        <source>Empty Trash</source>
        <translation>清空回收站</translation>
    </message>
    <message id="trashDeletePermanently">
        <source>Delete Permanently</source>
        <translation>永久删除</translation>
    </message>
    <message id="emptyTrashOrphans">
        <source>Records left without their items: %1. They are removed too.</source>
        <translation>没有对应项目的记录：%1 条，也将一并删除。</translation>
    </message>
    <message id="deleteTitle">
        <source>Delete permanently?</source>
        <translation>要永久删除吗？</translation>
    </message>
    <message id="emptyTrashTitle">
        <source>Empty the Trash?</source>
        <translation>要清空回收站吗？</translation>
    </message>
    <message id="deleteBody">
        <source>%1 (%2) will be deleted. This cannot be undone.</source>
        <translation>%1（%2）将被删除。此操作无法撤销。</translation>
    </message>
    <message id="search">
        <source>Search</source>
        <translation>搜索</translation>
    </message>
    <message id="searchPlaceholder">
        <source>Name, or a pattern such as *.pdf</source>
        <translation>名称，或 *.pdf 这样的模式</translation>
    </message>
    <message id="searchContentPlaceholder">
        <source>Text inside files</source>
        <translation>文件中的文字</translation>
    </message>
    <message id="searchThisFolder">
        <source>This Folder</source>
        <translation>此文件夹</translation>
    </message>
    <message id="searchHome">
        <source>Home</source>
        <translation>主文件夹</translation>
    </message>
    <message id="searchThisVolume">
        <source>This Volume</source>
        <translation>此卷</translation>
    </message>
    <message id="searchStart">
        <source>Search In</source>
        <translation>搜索位置</translation>
    </message>
    <message id="searchNames">
        <source>Names</source>
        <translation>名称</translation>
    </message>
    <message id="searchContents">
        <source>Contents</source>
        <translation>内容</translation>
    </message>
    <message id="searchMode">
        <source>Search By</source>
        <translation>搜索方式</translation>
    </message>
    <message id="searchType">
        <source>Type</source>
        <translation>类型</translation>
    </message>
    <message id="searchAnyType">
        <source>Any Type</source>
        <translation>任意类型</translation>
    </message>
    <message id="searchTypeFolder">
        <source>Folders</source>
        <translation>文件夹</translation>
    </message>
    <message id="searchTypeDocument">
        <source>Documents</source>
        <translation>文档</translation>
    </message>
    <message id="searchTypeImage">
        <source>Images</source>
        <translation>图像</translation>
    </message>
    <message id="searchTypeAudio">
        <source>Audio</source>
        <translation>音频</translation>
    </message>
    <message id="searchTypeVideo">
        <source>Videos</source>
        <translation>视频</translation>
    </message>
    <message id="searchTypeArchive">
        <source>Archives</source>
        <translation>归档文件</translation>
    </message>
    <message id="searchModified">
        <source>Modified</source>
        <translation>修改时间</translation>
    </message>
    <message id="searchAnyTime">
        <source>Any Time</source>
        <translation>任何时间</translation>
    </message>
    <message id="searchPastDay">
        <source>Past Day</source>
        <translation>过去一天</translation>
    </message>
    <message id="searchPastWeek">
        <source>Past Week</source>
        <translation>过去一周</translation>
    </message>
    <message id="searchPastMonth">
        <source>Past Month</source>
        <translation>过去一个月</translation>
    </message>
    <message id="searchPastYear">
        <source>Past Year</source>
        <translation>过去一年</translation>
    </message>
    <message id="searchSizeAbove">
        <source>Over (MB)</source>
        <translation>大于 MB</translation>
    </message>
    <message id="searchSizeBelow">
        <source>Under (MB)</source>
        <translation>小于 MB</translation>
    </message>
    <message id="searchOtherVolumes">
        <source>Other Volumes</source>
        <translation>其他卷</translation>
    </message>
    <message id="searchContentLimit">
        <source>Content search skips files over (MB)</source>
        <translation>内容搜索跳过大于此值的文件（MB）</translation>
    </message>
    <message id="searchClose">
        <source>Close Search</source>
        <translation>关闭搜索</translation>
    </message>
    <message id="searchUnreadable">
        <source>Some folders could not be read</source>
        <translation>部分文件夹无法读取</translation>
    </message>
    <message id="locationColumn">
        <source>Location</source>
        <translation>位置</translation>
    </message>
    <message id="openContainingFolder">
        <source>Open Containing Folder</source>
        <translation>打开所在文件夹</translation>
    </message>
</context>
</TS>
